#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

class QLabel;

#include "platform/desktop/InstanceGuard.h"
#include "platform/desktop/SoundPlayer.h"
#include "platform/system/Path.h"

namespace dirtally {

// The About window's first line: "Dirtally Version  1.2" (two spaces; no leading zeros, so a
// minor version of 10 reads "1.10", not "1.1").
QString versionLine(const QString& title, int major, int minor);

// thunder.wav in the first of the folders that holds one; when none does, the name in the first
// folder, so that the player falls back to the desktop's own sound.
QString aboutSoundFile(const QStringList& folders);

// The About window: title and version, the program's purpose, the publisher's message and
// address, shown for as long as the thunder clap plays. It has no title bar, no task-bar button
// and nothing to click. Its object name is "Form2", and its controls keep the object names they
// have always had ("Label1", "Frame1", ...).
class AboutWindow final : public QWidget {
    Q_OBJECT

  public:
    // soundFolders: where to look for thunder.wav, in order.
    AboutWindow(SoundPlayer& sound, InstanceGuard& instance, QStringList soundFolders);

    // Fills in the texts, then either shows the window, paints it and plays the sound to its end,
    // or, in an instance started while another one runs, renames this instance's title for good,
    // asks the other instance to come forward and never shows anything.
    void load();

  private:
    void buildControls();
    void setTexts();
    void showPainted();

    SoundPlayer& sound_;
    InstanceGuard& instance_;
    QLabel* titleLabel_ = nullptr;     // the title and version
    QLabel* commentsLabel_ = nullptr;  // what the program is for
    QLabel* companyLabel_ = nullptr;   // the publisher's message
    QStringList soundFolders_;
};

// The Help menu's About command: loads the window, and unloads it when the load step returns.
// The sound is looked for beside the program first, then in the data folder of an installed
// program (share/dirtally beside its bin folder), wherever the installation was put.
void showAbout(SoundPlayer& sound, InstanceGuard& instance, const Path& programFolder);

}  // namespace dirtally

#pragma once

#include "platform/Desktop.h"
#include "platform/Dialogs.h"
#include "platform/DirectoryReader.h"
#include "platform/FileProbe.h"
#include "platform/FolderInfo.h"
#include "platform/Process.h"

namespace dirtally {

// Every platform service the program uses, handed in by whoever creates the main window: the
// program's main() with the real ones, a test with scripted doubles.
struct Services {
    DirectoryReader& directories;
    FolderInfo& folders;
    FileProbe& files;
    FolderPicker& folderPicker;
    SaveDialog& saveDialog;
    MessageBox& messageBox;
    UrlOpener& urlOpener;
    TextEditor& textEditor;
    SoundPlayer& soundPlayer;
    ProcessInfo& process;
    Clock& clock;
    InstanceGuard& instance;
};

}  // namespace dirtally

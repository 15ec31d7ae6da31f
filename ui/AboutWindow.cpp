#include "ui/AboutWindow.h"

#include "mainwindow/ApplicationTitle.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include "VersionInfo.h"
#include "platform/desktop/WindowHints.h"
#include "ui/Contrast.h"
#include "ui/Fonts.h"
#include "ui/LabelFit.h"
#include "ui/Placement.h"

namespace dirtally {

namespace {

// The window design's measures, in pixels (a twip is a fifteenth of a pixel).
constexpr QSize clientSize{393, 292};
// A window manager maps a new window within milliseconds; never block the program on one that
// does not.
constexpr int exposeWaitMs = 500;

QLabel* label(QWidget* parent, const char* name, QRect geometry, const QFont& font,
              Qt::Alignment alignment) {
    auto* result = place(new QLabel(parent), name, geometry);
    result->setFont(font);
    result->setAlignment(alignment);
    return result;
}

// A drawn line in the window text's colour; `thickness` pixels centred on y.
void line(QWidget* parent, const char* name, int x1, int x2, int y, int thickness) {
    auto* rule =
        place(new QFrame(parent), name, QRect(x1, y - thickness / 2, x2 - x1 + 1, thickness));
    rule->setAutoFillBackground(true);
    QPalette palette = rule->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::WindowText));
    rule->setPalette(palette);
}

// The design's text colour, or as near to it as reads on what is behind it: white on the band
// of the theme's text colour is unreadable where that is light, as in a dark theme.
void setColours(QLabel* target, const QColor& text, const QColor& background) {
    QPalette palette = target->palette();
    if (background.isValid()) {
        palette.setColor(QPalette::Window, background);
        target->setAutoFillBackground(true);
    }
    palette.setColor(QPalette::WindowText, readableOn(text, palette.color(QPalette::Window)));
    target->setPalette(palette);
}

// Ends a local event loop once the window system has put the window on the screen.
class ExposeWatch final : public QObject {
  public:
    explicit ExposeWatch(QEventLoop& loop) : loop_(loop) {}

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Expose) {
            loop_.quit();
        }
        return false;
    }

  private:
    QEventLoop& loop_;
};

// Returns when the window is on the screen, or after a short while.
void waitUntilExposed(QWindow* window) {
    if (window == nullptr || window->isExposed()) {
        return;
    }
    QEventLoop loop;
    ExposeWatch watch(loop);
    window->installEventFilter(&watch);
    QTimer::singleShot(exposeWaitMs, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    window->removeEventFilter(&watch);
}

}  // namespace

QString versionLine(const QString& title, int major, int minor) {
    return title + QStringLiteral(" Version  ") + QString::number(major) + QLatin1Char('.') +
           QString::number(minor);
}

QString aboutSoundFile(const QStringList& folders) {
    const QString name = QStringLiteral("/thunder.wav");
    for (const QString& folder : folders) {
        if (QFileInfo(folder + name).isFile()) {
            return folder + name;
        }
    }
    return folders.isEmpty() ? name.mid(1) : folders.first() + name;
}

AboutWindow::AboutWindow(SoundPlayer& sound, InstanceGuard& instance, QStringList soundFolders)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint),
      sound_(sound),
      instance_(instance),
      soundFolders_(std::move(soundFolders)) {
    setObjectName(QStringLiteral("Form2"));
    setFixedSize(clientSize);
    buildControls();
}

void AboutWindow::buildControls() {
    setFont(fonts::sansSerif(8.25));
    auto* border = place(new QFrame(this), "Picture1", {5, 7, 384, 280});
    border->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    auto* frame = place(new QFrame(this), "Frame1", {14, 10, 367, 265});
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);

    const Qt::Alignment centred = Qt::AlignHCenter | Qt::AlignTop;
    titleLabel_ = label(frame, "Label1", {23, 19, 308, 28}, fonts::arial(18), centred);
    setColours(titleLabel_, Qt::white, palette().color(QPalette::WindowText));
    line(frame, "Line2", 19, 333, 55, 3);
    commentsLabel_ =
        label(frame, "Label2", {53, 75, 244, 19}, fonts::sansSerif(8.25, true), centred);
    line(frame, "Line1", 53, 302, 110, 1);
    companyLabel_ =
        label(frame, "Label3", {60, 126, 245, 87}, fonts::sansSerif(9.75, true), centred);
    companyLabel_->setWordWrap(true);
    auto* address = label(frame, "Label6", {12, 232, 210, 17}, fonts::sansSerif(9.75, true),
                          Qt::AlignLeft | Qt::AlignTop);
    setColours(address, Qt::red, QColor());
    address->setText(QString::fromUtf8(version::webDomain) + QStringLiteral(" (2003)"));
}

void AboutWindow::setTexts() {
    titleLabel_->setText(versionLine(applicationTitle(), version::major, version::minor));
    companyLabel_->setText(QString::fromUtf8(version::companyName));
    commentsLabel_->setText(QString::fromUtf8(version::comments));
    // Sized from the fonts in use, keeping the design's centres and left edges.
    for (QLabel* centred : {titleLabel_, commentsLabel_, companyLabel_}) {
        fitLabel(centred, {}, Qt::AlignHCenter);
    }
    fitLabel(findChild<QLabel*>(QStringLiteral("Label6")), {}, Qt::AlignLeft);
}

void AboutWindow::load() {
    setTexts();
    if (instance_.previousInstance()) {
        // The new title stays for the rest of this instance's life: a later run ends with it.
        setApplicationTitle(QStringLiteral("... duplicate instance."));
        instance_.raisePrevious();
        close();
        return;
    }
    showPainted();
    sound_.playSync(aboutSoundFile(soundFolders_));
}

// The sound blocks the program, so the window must be complete on the screen before it starts.
void AboutWindow::showPainted() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        move(screen->availableGeometry().center() - rect().center());
    }
    keepOutOfTaskBar(this);
    show();
    waitUntilExposed(windowHandle());
    repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void showAbout(SoundPlayer& sound, InstanceGuard& instance, const Path& programFolder) {
    const QString folder = pathToText(programFolder);
    const QString dataFolder =
        QDir::cleanPath(folder + QLatin1Char('/') + QString::fromUtf8(version::dataDirFromProgram));
    AboutWindow about(sound, instance, {folder, dataFolder});
    about.load();
    about.close();
}

}  // namespace dirtally

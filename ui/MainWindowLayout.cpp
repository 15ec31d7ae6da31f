// The main window's controls, placed as the window design gives them (in pixels: a twip is a
// fifteenth of a pixel).
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>

#include "VersionInfo.h"
#include "ui/AccessibleLabel.h"
#include "ui/Contrast.h"
#include "ui/Fonts.h"
#include "ui/LabelFit.h"
#include "ui/MainWindow.h"
#include "ui/Placement.h"

// The pictures are compiled into a static library, which the linker keeps only when asked for.
static void initResources() {
    Q_INIT_RESOURCE(resources);
}

namespace dirtally {

namespace {
constexpr int kClientWidth = 263;
constexpr int kClientHeight = 167;

QPushButton* button(QWidget* parent, const char* name, const char* caption, QRect r) {
    auto* b = place(new QPushButton(QString::fromLatin1(caption), parent), name, r);
    b->setAutoDefault(false);
    return b;
}

// The design's colour, or as near to it as reads on the theme's background.
void setTextColour(QLabel* label, const QColor& colour) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, readableOn(colour, palette.color(QPalette::Window)));
    label->setPalette(palette);
}

QCursor buttonPointer() {
    return QCursor(QPixmap(QStringLiteral(":/dirtally/pointer.png")), 0, 0);
}
}  // namespace

void MainWindow::buildControls() {
    initResources();
    setFont(fonts::sansSerif(8.25));
    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("client"));
    client_->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(client_);

    frame_ = place(new QGroupBox(client_), "Frame1", {5, 3, 254, 160});
    auto* picture = place(new QLabel(frame_), "Image1", {23, 14, 32, 32});
    // The picture drawn for the screen's scale (image1@2x.png at 200% and above), not blown up.
    picture->setPixmap(QIcon(QStringLiteral(":/dirtally/image1.png"))
                           .pixmap(picture->size(), picture->devicePixelRatioF()));
    picture->setAccessibleName(QStringLiteral("Dirtally"));
    controls_.clockLabel =
        place(new QLabel(QStringLiteral("Label4"), frame_), "Label4", {202, 13, 46, 21});
    auto* statusFrame = place(new QGroupBox(frame_), "Frame2", {20, 51, 216, 35});
    controls_.statusLabel = place(new QLabel(QStringLiteral("Press Make List"), statusFrame),
                                  "Label10", {52, 13, 101, 16});
    controls_.statusLabel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    controls_.statusLabel->setFont(fonts::sansSerif(8.25, true));
    setAccessibleRole(controls_.statusLabel, QAccessible::StatusBar);
    setAccessibleRole(controls_.clockLabel, QAccessible::Clock, QStringLiteral("Clock"));
    controls_.makeListButton = button(frame_, "Command4", "&Make list", {19, 95, 97, 23});
    controls_.viewListButton = button(frame_, "Command6", "&View list", {139, 95, 97, 23});
    auto* domain = place(new QLabel(QString::fromUtf8(version::webDomain), frame_), "Label3",
                         {7, 131, 137, 22});
    domain->setFont(fonts::bookAntiqua(9.75, true));
    setTextColour(domain, QColor(128, 128, 128));
    controls_.headerPrompt = place(new QLabel(frame_), "Label1", {202, 33, 37, 16});
    controls_.headerPrompt->setVisible(false);

    // Outside the visible area: never drawn, yet the buttons take the focus in turn.
    controls_.folderLine =
        place(new QLabel(QStringLiteral("Label2"), client_), "Label2", {13, 181, 176, 20});
    controls_.folderButton = button(client_, "Command1", "&Folder", {212, 273, 64, 23});
    controls_.fileListButton = button(client_, "Command2", "&File list", {282, 279, 55, 23});
    controls_.headerBox = place(new QLineEdit(client_), "Text2", {24, 221, 241, 19});
    controls_.headerBox->setEnabled(false);

    // Three owners of the access key F: Alt+F belongs to the "&File" menu.
    controls_.folderButton->setShortcut(QKeySequence());
    controls_.fileListButton->setShortcut(QKeySequence());

    const QCursor pointer = buttonPointer();
    for (QPushButton* b :
         {controls_.fileListButton, controls_.makeListButton, controls_.viewListButton}) {
        b->setCursor(pointer);
    }
    // Sized from the fonts in use: the clock keeps its right edge, the status line its centre.
    fitLabel(controls_.clockLabel, {QStringLiteral("00:00:00")}, Qt::AlignRight);
    fitLabel(controls_.statusLabel, {QStringLiteral("Please Wait ...")}, Qt::AlignHCenter);
    fitLabel(domain, {}, Qt::AlignLeft);

    setTabOrder(controls_.fileListButton, controls_.makeListButton);
    setTabOrder(controls_.makeListButton, controls_.viewListButton);
    setTabOrder(controls_.viewListButton, controls_.folderButton);
    controls_.window = this;
}

void MainWindow::setFixedClientSize() {
    setFixedSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
}

}  // namespace dirtally

// The main window's controls, placed as the window design gives them (in pixels: a twip is a
// fifteenth of a pixel).
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>

#include "VersionInfo.h"
#include "ui/Fonts.h"
#include "ui/Form1.h"

// The pictures are compiled into a static library, which the linker keeps only when asked for.
static void initResources() {
    Q_INIT_RESOURCE(resources);
}

namespace dirtally {

namespace {
constexpr int kClientWidth = 263;
constexpr int kClientHeight = 167;

template <typename W>
W* place(W* widget, const char* name, int left, int top, int width, int height) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(left, top, width, height);
    return widget;
}

QPushButton* button(QWidget* parent, const char* name, const char* caption, QRect r) {
    auto* b = place(new QPushButton(QString::fromLatin1(caption), parent), name, r.x(), r.y(),
                    r.width(), r.height());
    b->setAutoDefault(false);
    return b;
}

QCursor buttonPointer() {
    return QCursor(QPixmap(QStringLiteral(":/dirtally/pointer.png")), 0, 0);
}
}  // namespace

void Form1::buildControls() {
    initResources();
    setFont(fonts::sansSerif(8.25));
    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("client"));
    client_->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(client_);

    frame1_ = place(new QGroupBox(client_), "Frame1", 5, 3, 254, 160);
    auto* image1 = place(new QLabel(frame1_), "Image1", 23, 14, 32, 32);
    image1->setPixmap(QPixmap(QStringLiteral(":/dirtally/image1.png")));
    controls_.label4 =
        place(new QLabel(QStringLiteral("Label4"), frame1_), "Label4", 202, 13, 46, 21);
    auto* frame2 = place(new QGroupBox(frame1_), "Frame2", 20, 51, 216, 35);
    controls_.label10 =
        place(new QLabel(QStringLiteral("Press Make List"), frame2), "Label10", 52, 13, 101, 16);
    controls_.label10->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    controls_.label10->setFont(fonts::sansSerif(8.25, true));
    controls_.command4 = button(frame1_, "Command4", "&Make list", {19, 95, 97, 23});
    controls_.command6 = button(frame1_, "Command6", "&View list", {139, 95, 97, 23});
    auto* label3 = place(new QLabel(QString::fromUtf8(version::webDomain), frame1_), "Label3", 7,
                         131, 137, 22);
    label3->setFont(fonts::bookAntiqua(9.75, true));
    label3->setStyleSheet(QStringLiteral("color: rgb(128, 128, 128);"));
    controls_.label1 = place(new QLabel(frame1_), "Label1", 202, 33, 37, 16);
    controls_.label1->setVisible(false);

    // Outside the visible area: never drawn, yet the buttons take the focus in turn.
    controls_.label2 =
        place(new QLabel(QStringLiteral("Label2"), client_), "Label2", 13, 181, 176, 20);
    controls_.command1 = button(client_, "Command1", "&Folder", {212, 273, 64, 23});
    controls_.command2 = button(client_, "Command2", "&File list", {282, 279, 55, 23});
    controls_.text2 = place(new QLineEdit(client_), "Text2", 24, 221, 241, 19);
    controls_.text2->setEnabled(false);

    // Three owners of the access key F: Alt+F belongs to the "&File" menu.
    controls_.command1->setShortcut(QKeySequence());
    controls_.command2->setShortcut(QKeySequence());

    const QCursor pointer = buttonPointer();
    for (QPushButton* b : {controls_.command2, controls_.command4, controls_.command6}) {
        b->setCursor(pointer);
    }
    setTabOrder(controls_.command2, controls_.command4);
    setTabOrder(controls_.command4, controls_.command6);
    setTabOrder(controls_.command6, controls_.command1);
    controls_.form = this;
}

void Form1::setFixedClientSize() {
    setFixedSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
}

}  // namespace dirtally

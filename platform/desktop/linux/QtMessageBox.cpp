#include "platform/desktop/linux/QtMessageBox.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

namespace dirtally {

namespace {

// Keeps a box that has no window behind it in the middle of its screen while it settles. Qt
// places a box before the box has grown to fit its text, and the window manager frames it only
// once it is on the screen, telling Qt the frame's size some time later (on a busy machine, well
// after the box is shown): each moves the box's middle. So for its first moments the box is put
// back whenever it is off, and for some seconds after whenever its frame changes size, which a
// user's drag never does. The frame's size is looked at on a timer too: a frame that comes late
// may reach Qt with no move or resize of the box.
class CentreOnScreen final : public QObject {
  public:
    explicit CentreOnScreen(QWidget* box) : QObject(box), box_(box) {
        box->installEventFilter(this);
        ticks_.setInterval(kTickMs);
        connect(&ticks_, &QTimer::timeout, this, [this] {
            if (shown_.elapsed() <= kSettleMs || box_->frameGeometry().size() != frameSize_) {
                centre();
            }
            if (shown_.elapsed() > kWatchMs) {
                ticks_.stop();
            }
        });
    }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show && !shown_.isValid()) {
            shown_.start();
            ticks_.start();
            centre();
        } else if ((event->type() == QEvent::Move || event->type() == QEvent::Resize) &&
                   shown_.isValid() && box_->frameGeometry().size() != frameSize_) {
            centre();
        }
        return false;
    }

  private:
    static constexpr int kTickMs = 20;
    static constexpr qint64 kSettleMs = 500;
    static constexpr qint64 kWatchMs = 5000;

    void centre() {
        frameSize_ = box_->frameGeometry().size();
        const QScreen* screen = box_->screen();
        const QPoint offset = screen->availableGeometry().center() - box_->frameGeometry().center();
        if (offset.manhattanLength() > 1) {
            box_->move(box_->pos() + offset);
        }
    }

    QWidget* box_;
    QElapsedTimer shown_;
    QTimer ticks_;
    QSize frameSize_;
};

}  // namespace

void QtMessageBox::critical(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("criticalMessageBox"));
    // Paths in the text are shown as they are, never read as markup.
    box.setTextFormat(Qt::PlainText);
    if (parent == nullptr) {
        new CentreOnScreen(&box);
    }
    box.exec();
}

}  // namespace dirtally

#include "widgets/screen_fit.h"

#include <QAbstractButton>
#include <QLabel>
#include <QApplication>
#include <QBoxLayout>
#include <QEvent>
#include <QLayout>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <algorithm>

namespace {

/// Until the window manager has framed a window its borders are unknown;
/// room is kept for a title bar and borders of this size (pixels at scale 1).
constexpr int TITLE_BAR_ESTIMATE = 32;
constexpr int BORDER_ESTIMATE = 4;
/// How long after a window is shown the window manager's moves are checked.
constexpr int SETTLE_MS = 2000;
/// Set on a window while its first placement settles.
constexpr const char* SETTLING_PROPERTY = "kalvoraScreenFitSettling";

bool IsFramedWindow(const QWidget* w) {
    if (w == nullptr || !w->isWindow()) return false;
    const Qt::WindowType type = w->windowType();
    return type == Qt::Window || type == Qt::Dialog;  // not menus, tool tips, pop-ups
}

QMargins FrameMargins(const QWidget* w) {
    const QRect frame = w->frameGeometry();
    const QRect client = w->geometry();
    if (frame != client) {
        return {client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                frame.bottom() - client.bottom()};
    }
    if (w->windowFlags() & Qt::FramelessWindowHint) return {};
    return {BORDER_ESTIMATE, TITLE_BAR_ESTIMATE, BORDER_ESTIMATE, BORDER_ESTIMATE};
}

QRect AvailableArea(const QWidget* w) {
    QScreen* screen = w->screen();
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->availableGeometry() : QRect();
}

/// The layout's last item when it is a row of push buttons ("OK", "開始" ...),
/// taken out of the layout, together with a status line (a label) right
/// under it; nullptr when there is none.
QLayout* TakeButtonRow(QLayout* layout) {
    auto* box = qobject_cast<QBoxLayout*>(layout);
    if (box == nullptr || box->count() < 2) return nullptr;
    int end = box->count() - 1;
    auto* statusLine = qobject_cast<QLabel*>(box->itemAt(end)->widget());
    if (statusLine != nullptr) --end;
    if (end < 1) return nullptr;
    QLayout* last = box->itemAt(end)->layout();
    if (last == nullptr) return nullptr;
    bool hasButton = false;
    for (int i = 0; i < last->count(); ++i) {
        if (qobject_cast<QAbstractButton*>(last->itemAt(i)->widget()) != nullptr) hasButton = true;
    }
    if (!hasButton) return nullptr;
    if (statusLine == nullptr) {
        box->takeAt(end);
        return last;
    }
    delete box->takeAt(end + 1);  // the label's item; the label itself moves
    box->takeAt(end);
    auto* rows = new QVBoxLayout;
    rows->setContentsMargins(0, 0, 0, 0);
    rows->addLayout(last);
    rows->addWidget(statusLine);
    return rows;
}

/// Moves the window's contents into a scroll area; the menu bar stays above
/// it and a last row of push buttons below it. Returns false when the window
/// has no layout or was wrapped before.
bool WrapInScrollArea(QWidget* window) {
    QLayout* layout = window->layout();
    if (layout == nullptr || window->findChild<QScrollArea*>(QString(), Qt::FindDirectChildrenOnly) != nullptr)
        return false;
    QWidget* menuBar = layout->menuBar();
    layout->setMenuBar(nullptr);
    QLayout* buttonRow = TakeButtonRow(layout);

    // setLayout() moves the layout and the widgets it manages into the page.
    auto* page = new QWidget;
    page->setLayout(layout);
    // The page may grow with the window; below its minimum it scrolls.
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    auto* scroll = new QScrollArea(window);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(page);

    // The old layout may have fixed the window's size; the new one does not.
    window->setMinimumSize(0, 0);
    window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    auto* outer = new QVBoxLayout(window);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    outer->setMenuBar(menuBar);
    outer->addWidget(scroll, 1);
    if (buttonRow != nullptr) {
        const QMargins m = layout->contentsMargins();
        buttonRow->setContentsMargins(m.left(), m.top() / 2, m.right(), m.bottom());
        outer->addLayout(buttonRow);
    }
    return true;
}

/// Shrinks the window so that `room` holds it, scrolling where it must.
void ShrinkInto(QWidget* window, QSize room) {
    const QSize size = window->size();
    if (size.width() <= room.width() && size.height() <= room.height()) return;
    const QSize minimum = window->minimumSizeHint().expandedTo(window->minimumSize());
    if (minimum.width() > room.width() || minimum.height() > room.height()) {
        if (WrapInScrollArea(window)) {
            // Room for the scroll bars that the cut direction brings.
            const int bar = window->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, window);
            QSize wanted = size;
            if (size.height() > room.height()) wanted.rwidth() += bar;
            if (size.width() > room.width()) wanted.rheight() += bar;
            window->layout()->activate();
            window->resize(wanted.boundedTo(room).expandedTo(window->minimumSize()));
            return;
        }
    }
    window->resize(size.boundedTo(room).expandedTo(window->minimumSize()));
}

/// The top-left corner that puts `frame` inside `area` (as far as it fits).
QPoint InsideArea(QRect frame, const QRect& area) {
    QPoint p = frame.topLeft();
    if (frame.right() > area.right()) p.setX(area.right() - frame.width() + 1);
    if (frame.bottom() > area.bottom()) p.setY(area.bottom() - frame.height() + 1);
    p.setX(std::max(p.x(), area.left()));
    p.setY(std::max(p.y(), area.top()));
    return p;
}

/// Moves the window so that its frame's top-left corner is `p`. Before the
/// window manager has framed it, Qt places the window itself there: the
/// estimated borders are added by hand.
void MoveFrameTo(QWidget* window, QPoint p) {
    window->move(p + (window->frameGeometry().topLeft() - ExpectedFrame(window).topLeft()));
}

/// Moves the window's frame inside the available area.
void PlaceInside(QWidget* window) {
    const QRect area = AvailableArea(window);
    if (area.isEmpty()) return;
    const QRect frame = ExpectedFrame(window);
    const QPoint p = InsideArea(frame, area);
    if (p != frame.topLeft()) MoveFrameTo(window, p);
}

/// First placement of a window nobody has placed: centred on its parent
/// window (or on the area), then inside the area.
void PlaceFirst(QWidget* window) {
    const QRect area = AvailableArea(window);
    if (area.isEmpty()) return;
    const QWidget* parent = window->parentWidget() ? window->parentWidget()->window() : nullptr;
    const QRect over = parent != nullptr && parent->isVisible() ? parent->frameGeometry() : area;
    QRect frame = ExpectedFrame(window);
    frame.moveCenter(over.center());
    MoveFrameTo(window, InsideArea(frame, area));
}

}  // namespace

QRect ExpectedFrame(const QWidget* window) {
    const QMargins m = FrameMargins(window);
    const QRect frame = window->frameGeometry();
    if (frame != window->geometry()) return frame;
    return window->geometry().marginsAdded(m);
}

void FitToScreen(QWidget* window) {
    const QRect area = AvailableArea(window);
    if (area.isEmpty()) return;
    const QMargins m = FrameMargins(window);
    ShrinkInto(window, area.size().shrunkBy(m));
    PlaceInside(window);
}

void ScreenFitter::Install(QObject* application) {
    if (application->findChild<ScreenFitter*>(QString(), Qt::FindDirectChildrenOnly) != nullptr) return;
    application->installEventFilter(new ScreenFitter(application));
}

bool ScreenFitter::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::Show && type != QEvent::Move && type != QEvent::Resize) return false;
    if (!watched->isWidgetType()) return false;
    auto* window = static_cast<QWidget*>(watched);
    if (!IsFramedWindow(window)) return false;

    if (type == QEvent::Show && !event->spontaneous()) {
        // Before the window is mapped: its size, then its place (a window that
        // has been placed keeps its place; dialogs skip their own centring).
        const QRect area = AvailableArea(window);
        if (!area.isEmpty()) ShrinkInto(window, area.size().shrunkBy(FrameMargins(window)));
        if (!window->testAttribute(Qt::WA_Moved)) {
            PlaceFirst(window);
        } else {
            PlaceInside(window);
        }
        window->setProperty(SETTLING_PROPERTY, true);
        QPointer<QWidget> guard(window);
        QTimer::singleShot(SETTLE_MS, window, [guard] {
            if (guard) guard->setProperty(SETTLING_PROPERTY, false);
        });
        return false;
    }
    // While the window manager frames the window and reports its borders.
    if (type != QEvent::Show && window->isVisible() && window->property(SETTLING_PROPERTY).toBool()) {
        QPointer<QWidget> guard(window);
        QTimer::singleShot(0, window, [guard] {
            if (guard) FitToScreen(guard);
        });
    }
    return false;
}


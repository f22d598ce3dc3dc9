#pragma once
// Keeps every top-level window of the program on its screen, whatever the
// scale (QT_SCALE_FACTOR, a HiDPI desktop) and the screen's size:
//
//  * a window larger than the screen's available area gets its contents
//    put into a scroll area (the menu bar stays above it, a last row of
//    push buttons below it, so "OK"-type buttons stay in view) and is
//    sized to the area; a resizable window is simply made smaller;
//  * every window is placed so that its frame, title bar included, lies
//    inside the available area, again once the window manager has framed
//    it and told its real border sizes.
//
// ScreenFitter::Install(app) applies this to every window when it is shown;
// FitToScreen() does it for one window.

#include <QObject>
#include <QRect>

class QWidget;

/// The frame a window will have: its frame once the window manager has
/// framed it, else its geometry grown by an estimate of a title bar and
/// borders.
QRect ExpectedFrame(const QWidget* window);

/// Shrinks `window` (adding scrolling where its layout cannot shrink) so
/// that its frame fits its screen's available area, then moves the frame
/// inside that area. Does nothing for a window that fits and lies inside.
void FitToScreen(QWidget* window);

/// An application-wide event filter that fits each top-level window when it
/// is shown, and again while the window manager frames it.
class ScreenFitter : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;
    /// Installs one fitter on the application (idempotent).
    static void Install(QObject* application);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

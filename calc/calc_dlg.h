#pragma once
// CalcDlg: the main window. It lays out the displays, the keypad and the
// group boxes, owns the menus, forwards every button and menu command to the
// calculator engine and implements the engine's view: displays, digit
// buttons, message boxes and the clipboard. Each control carries its
// numeric id in the dynamic property "id".

#include <QDialog>
#include <QPlainTextEdit>
#include <QPointer>
#include <functional>
#include <map>

#include "calc/calc_engine.h"
#include "calc/keyboard_filter.h"
#include "widgets/dialog_support.h"

class QAbstractButton;
class QLineEdit;
class QMenu;
class QMenuBar;
class QSpinBox;
class HelpWindow;

/// Window-only ids of the main window: controls and menu commands.
enum CalcWindowId {
    IDC_RADIX_SPIN = 1044,    ///< up-down control of the radix edit
    IDC_FOCUS_HOLDER = 1048,  ///< invisible edit that holds the focus
    ID_TOOL_PROGRESSION = 32791,
    ID_TOOL_LUCAS = 32792,
    ID_TOOL_MERSENNE_FERMAT = 32793,
    ID_TOOL_PRIME = 32794,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_HELP = 57670,
};

/// Display of the main window: one line with a horizontal scroll bar.
/// Text pasted into it through its own edit menu arrives in upper case.
class DisplayEdit : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit DisplayEdit(QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    /// Sets the height and centres the line in it.
    void FitHeight(int height);

  protected:
    void insertFromMimeData(const QMimeData* source) override;
};

class CalcDlg : public QDialog, public CalcView {
    Q_OBJECT
  public:
    explicit CalcDlg(QWidget* parent = nullptr);
    ~CalcDlg() override;

    CalcEngine& Engine() { return m_engine; }
    const CalcEngine& Engine() const { return m_engine; }

    /// Binds a tool command (32791..32794) to the code that opens its dialog.
    /// A command without a handler does nothing.
    void SetToolCommand(int id, std::function<void()> handler);

    /// Runs command `id` of the command map (buttons and menus).
    void OnCommand(int id);
    /// Presses button `id` as a key does: down, 20 ms, up, then its click.
    void PressButton(int id);

    /// The control (or up-down, focus holder) with id `id`, nullptr if none.
    QWidget* Control(int id) const;
    /// The button with id `id`, nullptr if none.
    QAbstractButton* Button(int id) const;
    QMenuBar* MenuBar() const { return m_menuBar; }
    /// A fresh copy of the context menu (menu 146), parented to the window.
    QMenu* CreateContextMenu();
    /// The help window once it has been opened, else nullptr.
    HelpWindow* Help() const;

    // CalcView
    void SetDisplayText(int controlId, const std::string& text) override;
    void EnableDigitButton(int id, bool enabled) override;
    void ShowMessage(const std::string& text, const std::string& caption) override;
    std::optional<std::string> ReadClipboardText() override;
    void WriteClipboardText(const std::string& text) override;

    // Handlers of the window's own commands.
    void OnModulus();
    void OnAbout();
    void OnHelp();
    void OnExit();

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    /// Window initialisation: texts into the displays, registration for the
    /// keyboard filter, radix up-down, focus on "C".
    void OnInitDialog();
    /// Main display changed by the user (not by the program).
    void OnValueEdited();
    void OnRadixEdited(const QString& text);

    /// The window's layout, part by part, top to bottom.
    struct LayoutMetrics;
    void BuildLayout();
    void BuildFocusHolder();
    void BuildDisplays(LayoutMetrics& m);
    QWidget* BuildMainGroup(const LayoutMetrics& m);
    QWidget* BuildMemoryGroup(const LayoutMetrics& m);
    QWidget* BuildRadixGroup(const LayoutMetrics& m);
    QWidget* BuildModularGroup(const LayoutMetrics& m);
    QLayout* BuildKeypad(const LayoutMetrics& m);
    QAbstractButton* MakeSideButton(const LayoutMetrics& m, const char* text, int id);
    void BuildMenuBar();
    void AddMenuItem(QMenu* menu, const char* text, int id);
    QAbstractButton* MakeButton(const char* text, int id);
    void Register(QWidget* widget, int id);

    CalcEngine m_engine;
    KeyboardFilter m_keyboard;
    std::map<int, QWidget*> m_controls;
    QAbstractButton* m_digitButtons[16] = {};
    DisplayEdit* m_valueEdit = nullptr;
    DisplayEdit* m_remainderEdit = nullptr;
    DisplayEdit* m_memoryEdit = nullptr;
    QLineEdit* m_opEdit = nullptr;
    QLineEdit* m_radixEdit = nullptr;
    QSpinBox* m_radixSpin = nullptr;
    QLineEdit* m_focusHolder = nullptr;
    QMenuBar* m_menuBar = nullptr;
    QPointer<HelpWindow> m_help;
    std::map<int, std::function<void()>> m_toolCommands;
    bool m_initialised = false;
    bool m_programWrite = false;  ///< set while the program writes a display
    bool m_parsePending = false;  ///< a main-display parse is queued
};

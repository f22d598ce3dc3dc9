#pragma once
// The one way the toolkit-free layers reach the user: a modal message box
// with a single OK button. The program installs a presenter at start-up
// (Qt boxes shown on the GUI thread); tests and the headless driver install
// recorders. Without a presenter, boxes are dropped and nothing blocks.

#include <string>

/// The application's title, used as the caption of every box without one of its own.
inline constexpr const char* APP_TITLE = "Kalvora";

/// Receives message boxes. ShowMessageBox returns once the user has dismissed the box.
class MessageBoxPresenter {
public:
    virtual ~MessageBoxPresenter() = default;
    /// Shows `text` under `caption` and blocks the calling thread until dismissed.
    virtual void ShowMessageBox(const std::string& text, const std::string& caption) = 0;
};

/// Installs the process-wide presenter (nullptr removes it). Safe from any thread.
void InstallMessageBoxPresenter(MessageBoxPresenter* presenter);

/// The presenter now installed, or nullptr.
MessageBoxPresenter* InstalledMessageBoxPresenter();

/// Shows a box through the installed presenter, on the calling thread.
void ShowMessageBox(const std::string& text, const std::string& caption = APP_TITLE);

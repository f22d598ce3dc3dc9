#include "calc/help_window.h"

#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace {
constexpr const char* TXT_CAPTION = "Kalvora ﾍﾙﾌﾟ";
}

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(TXT_CAPTION));
    // A window of its own, not a modal dialog: the calculator stays usable beside it.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setModal(false);
    m_browser = new QTextBrowser(this);
    m_browser->setOpenExternalLinks(false);
    m_browser->setSource(QUrl(QStringLiteral("qrc:/kalvora/help/help_ja.html")));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    resize(620, 640);
}

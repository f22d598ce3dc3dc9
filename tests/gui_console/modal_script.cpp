#include "tests/gui_console/modal_script.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace {

std::string Normalised(const std::string& text) {
    std::string s = text;
    for (char& c : s) {
        if (c == '\r') c = '\n';
    }
    return s;
}

}  // namespace

std::string BoxText(const QMessageBox* box) { return Normalised(box->text().toStdString()); }

void PressOk(QMessageBox* box) {
    QAbstractButton* ok = box->button(QMessageBox::Ok);
    if (!ok && !box->buttons().isEmpty()) ok = box->buttons().front();
    if (ok) {
        ok->click();
    } else {
        box->done(QMessageBox::Ok);
    }
}

ModalStep ExpectBox(const std::string& text, std::function<void()> whileOpen) {
    const std::string wanted = Normalised(text);
    return ModalStep{"box \"" + text + "\"",
                     [wanted](QWidget* w) {
                         auto* box = qobject_cast<QMessageBox*>(w);
                         return box && BoxText(box) == wanted;
                     },
                     [whileOpen](QWidget* w) {
                         if (whileOpen) whileOpen();
                         PressOk(qobject_cast<QMessageBox*>(w));
                     }};
}

namespace {
// Only the newest script answers; an older one still alive stands aside.
ModalScript* g_active = nullptr;
}  // namespace

ModalScript::ModalScript(std::vector<ModalStep> steps, int deadlineMs)
    : m_steps(steps.begin(), steps.end()), m_deadlineMs(deadlineMs) {
    m_previous = g_active;
    if (m_previous) m_previous->m_timer.stop();
    g_active = this;
    m_clock.start();
    m_timer.setInterval(10);
    connect(&m_timer, &QTimer::timeout, this, &ModalScript::Poll);
    m_timer.start();
}

ModalScript::~ModalScript() {
    m_timer.stop();
    if (g_active == this) {
        g_active = m_previous;
        if (g_active) g_active->m_timer.start();
    }
}

void ModalScript::Append(ModalStep step) { m_steps.push_back(std::move(step)); }

std::string ModalScript::Pending() const {
    std::string s;
    for (const ModalStep& step : m_steps) s += step.what + "; ";
    return s;
}

bool ModalScript::WaitDone() {
    while (!Done() && !m_expired) QApplication::processEvents(QEventLoop::AllEvents, 20);
    return Done();
}

void ModalScript::Poll() {
    if (!m_expired && m_clock.elapsed() > m_deadlineMs) {
        m_expired = true;
        m_unexpected.push_back("deadline passed while waiting for: " + Pending());
    }
    if (m_expired) {
        // Ask any running console to stop, so the test ends.
        for (QWidget* top : QApplication::topLevelWidgets()) {
            for (QPushButton* b : top->findChildren<QPushButton*>()) {
                if (b->property("id").toInt() == 1094 && b->isEnabled()) b->click();
            }
        }
    }
    QWidget* w = QApplication::activeModalWidget();
    if (!w || !w->isVisible()) return;
    auto* box = qobject_cast<QMessageBox*>(w);
    if (box) m_seen.push_back(BoxText(box));

    if (!m_expired && !m_steps.empty() && m_steps.front().matches(w)) {
        ModalStep step = std::move(m_steps.front());
        m_steps.pop_front();
        step.act(w);
        return;
    }
    if (box) {
        m_unexpected.push_back("unexpected box \"" + BoxText(box) + "\" while waiting for: " + Pending());
        PressOk(box);
    } else if (m_expired) {
        if (auto* dialog = qobject_cast<QDialog*>(w)) dialog->done(QDialog::Rejected);
    }
}

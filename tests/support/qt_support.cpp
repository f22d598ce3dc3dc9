#include "tests/support/qt_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>

namespace {

ModalScript* g_active = nullptr;

std::string LineBreaks(std::string s) {
    for (char& c : s) {
        if (c == '\r') c = '\n';
    }
    return s;
}

}  // namespace

std::string BoxText(const QMessageBox* box) { return LineBreaks(box->text().toStdString()); }

void CloseModal(QWidget* w) {
    if (auto* box = qobject_cast<QMessageBox*>(w)) {
        QAbstractButton* ok = box->button(QMessageBox::Ok);
        if (ok == nullptr && !box->buttons().isEmpty()) ok = box->buttons().front();
        if (ok != nullptr) {
            ok->click();
            return;
        }
    }
    if (auto* dialog = qobject_cast<QDialog*>(w)) dialog->reject();
}

ModalStep ExpectBox(const std::string& text, std::function<void()> whileOpen, const std::string& caption) {
    const std::string wanted = LineBreaks(text);
    return ModalStep{"box \"" + text + "\"",
                     [wanted, caption](QWidget* w) {
                         auto* box = qobject_cast<QMessageBox*>(w);
                         return box != nullptr && BoxText(box) == wanted &&
                                (caption.empty() || box->windowTitle().toStdString() == caption);
                     },
                     [whileOpen](QWidget* w) {
                         if (whileOpen) whileOpen();
                         CloseModal(w);
                     }};
}

ModalScript::ModalScript(std::vector<ModalStep> steps) : m_steps(steps.begin(), steps.end()) {
    m_previous = g_active;
    g_active = this;
    m_timer.setInterval(5);
    connect(&m_timer, &QTimer::timeout, this, &ModalScript::Poll);
    m_timer.start();
}

ModalScript::~ModalScript() {
    if (g_active == this) g_active = m_previous;
    EXPECT_TRUE(Done()) << "modal windows that never came: " << Pending();
}

bool ModalScript::Active() { return g_active != nullptr; }

std::string ModalScript::Pending() const {
    std::string s;
    for (const ModalStep& step : m_steps) s += step.what + "; ";
    return s;
}

bool ModalScript::WaitDone(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!Done() && clock.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
    return Done();
}

void ModalScript::Poll() {
    if (g_active != this) return;  // only the newest script answers
    QWidget* w = QApplication::activeModalWidget();
    if (w == nullptr || !w->isVisible() || m_answering.contains(w)) return;
    if (!m_steps.empty() && m_steps.front().matches(w)) {
        // Answered from a timer of its own, so this poll stays free for the
        // boxes the window opens meanwhile.
        m_answering.insert(w);
        QTimer::singleShot(0, w, [self = QPointer<ModalScript>(this), w, act = std::move(m_steps.front().act)] {
            act(w);
            if (self) self->m_answering.remove(w);
        });
        m_steps.pop_front();
        return;
    }
    if (auto* box = qobject_cast<QMessageBox*>(w)) {
        ADD_FAILURE() << "unexpected box \"" << BoxText(box) << "\" while waiting for: " << Pending();
        CloseModal(box);
    }
}

// --- Widget dumps ----------------------------------------------------------------

namespace {

std::string Utf8(const QString& s) { return s.toStdString(); }

void DumpMenu(const QMenu* menu, const std::string& indent, std::string& out) {
    for (const QAction* a : menu->actions()) {
        if (a->isSeparator()) {
            out += indent + "---\n";
            continue;
        }
        out += indent + "item";
        const QVariant id = a->property(CONTROL_ID_PROPERTY);
        if (id.isValid()) out += " id=" + std::to_string(id.toInt());
        out += " \"" + Utf8(a->text()) + "\"\n";
        if (a->menu() != nullptr) DumpMenu(a->menu(), indent + "  ", out);
    }
}

void Dump(const QWidget* w, int depth, std::string& out) {
    std::string text;
    bool shown = ControlId(w) != 0;
    if (auto* b = qobject_cast<const QAbstractButton*>(w)) {
        text = Utf8(b->text());
    } else if (auto* l = qobject_cast<const QLabel*>(w)) {
        text = Utf8(l->text());
    } else if (auto* g = qobject_cast<const QGroupBox*>(w)) {
        text = Utf8(g->title());
    } else if (auto* e = qobject_cast<const QLineEdit*>(w)) {
        text = Utf8(e->text());
    } else if (auto* p = qobject_cast<const QPlainTextEdit*>(w)) {
        text = Utf8(p->toPlainText());
    }
    shown = shown || !text.empty();
    if (shown) {
        std::string line(static_cast<size_t>(2 * depth), ' ');
        line += w->metaObject()->className();
        if (ControlId(w) != 0) line += " id=" + std::to_string(ControlId(w));
        if (!text.empty()) line += " \"" + LineBreaks(text) + "\"";
        if (!w->isEnabled()) line += " disabled";
        if (w->isHidden()) line += " hidden";
        if (auto* b = qobject_cast<const QAbstractButton*>(w); b != nullptr && b->isChecked()) line += " checked";
        out += line + "\n";
    }
    if (auto* bar = qobject_cast<const QMenuBar*>(w)) {
        for (const QAction* a : bar->actions()) {
            out += std::string(static_cast<size_t>(2 * depth), ' ') + "menu \"" + Utf8(a->text()) + "\"\n";
            if (a->menu() != nullptr) DumpMenu(a->menu(), std::string(static_cast<size_t>(2 * depth + 2), ' '), out);
        }
        return;
    }
    for (const QObject* child : w->children()) {
        if (child->isWidgetType() && !qobject_cast<const QMenu*>(child))
            Dump(static_cast<const QWidget*>(child), shown ? depth + 1 : depth, out);
    }
}

}  // namespace

std::string DumpWidgets(QWidget* root) {
    std::string out = "window \"" + Utf8(root->windowTitle()) + "\"\n";
    if (auto* menu = qobject_cast<QMenu*>(root)) DumpMenu(menu, "", out);
    for (const QObject* child : root->children()) {
        if (child->isWidgetType() && !qobject_cast<const QMenu*>(child)) Dump(static_cast<const QWidget*>(child), 0, out);
    }
    return out;
}

::testing::AssertionResult MatchesGolden(const std::string& name, const std::string& dump) {
    const QString path = QStringLiteral(KALVORA_GOLDEN_DIR "/") + QString::fromStdString(name) + ".txt";
    QFile file(path);
    if (qEnvironmentVariableIsSet("KALVORA_UPDATE_GOLDEN")) {
        if (!file.open(QIODevice::WriteOnly)) return ::testing::AssertionFailure() << "cannot write " << Utf8(path);
        file.write(dump.data(), static_cast<qint64>(dump.size()));
        return ::testing::AssertionSuccess();
    }
    if (!file.open(QIODevice::ReadOnly)) return ::testing::AssertionFailure() << "no golden file " << Utf8(path);
    const std::string golden = file.readAll().toStdString();
    if (golden == dump) return ::testing::AssertionSuccess();
    size_t line = 1, at = 0;
    while (at < golden.size() && at < dump.size() && golden[at] == dump[at]) line += golden[at++] == '\n';
    const auto lineAt = [](const std::string& s, size_t pos) {
        const size_t start = s.rfind('\n', pos == 0 ? 0 : pos - 1);
        const size_t from = start == std::string::npos ? 0 : start + 1;
        return s.substr(from, s.find('\n', from) - from);
    };
    return ::testing::AssertionFailure() << name << ".txt differs at line " << line << "\n  golden: "
                                         << lineAt(golden, at) << "\n  now:    " << lineAt(dump, at)
                                         << "\n(KALVORA_UPDATE_GOLDEN=1 rewrites it)";
}

void TypeInto(QLineEdit* edit, const QString& text) {
    edit->setFocus(Qt::TabFocusReason);
    edit->selectAll();
    if (text.isEmpty()) {
        QTest::keyClick(edit, Qt::Key_Delete);
    } else {
        QTest::keyClicks(edit, text);
    }
}

void ShowActive(QWidget* window) {
    window->show();
    window->activateWindow();
    QApplication::setActiveWindow(window);
    EXPECT_TRUE(QTest::qWaitForWindowActive(window));
}

#include "widgets/dialog_support.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>

#include "bigint/message_box.h"
#include "bigint/decimal_text.h"

// --- Control ids -------------------------------------------------------------

void SetControlId(QWidget* widget, int id) {
    widget->setProperty(CONTROL_ID_PROPERTY, id);
}

int ControlId(const QWidget* widget) {
    const QVariant v = widget->property(CONTROL_ID_PROPERTY);
    return v.isValid() ? v.toInt() : 0;
}

QWidget* FindControl(QWidget* root, int id) {
    if (root == nullptr) return nullptr;
    if (ControlId(root) == id) return root;
    const auto children = root->findChildren<QWidget*>();  // recursive, depth first
    for (QWidget* w : children) {
        if (ControlId(w) == id) return w;
    }
    return nullptr;
}

void SetEditText(QLineEdit* edit, const QString& text) {
    edit->setText(text);
    edit->setCursorPosition(0);
}

int DialogUnitsX(const QWidget* widget, int x) {
    return (widget->fontMetrics().averageCharWidth() * x + 2) / 4;
}

int DialogUnitsY(const QWidget* widget, int y) {
    return (widget->fontMetrics().height() * y + 4) / 8;
}

// --- Range message ------------------------------------------------------------

QString RangeMessageText(qint64 min, qint64 max) {
    return QStringLiteral("%1 から %2 までの整数を入力してください。").arg(min).arg(max);
}

void ShowRangeMessage(QWidget* parent, qint64 min, qint64 max) {
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(APP_TITLE), RangeMessageText(min, max),
                    QMessageBox::Ok, parent);
    box.exec();
}

// --- Up-down control -----------------------------------------------------------

UpDownControl::UpDownControl(QLineEdit* buddy, qint64 minimum, qint64 maximum, QWidget* parent)
    : QWidget(parent), m_buddy(buddy), m_up(new QToolButton(this)), m_down(new QToolButton(this)) {
    SetRange(minimum, maximum);
    for (QToolButton* b : {m_up, m_down}) {
        b->setArrowType(b == m_up ? Qt::UpArrow : Qt::DownArrow);
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Ignored);
        b->installEventFilter(this);
    }
    connect(m_up, &QToolButton::clicked, this, [this] { StepBy(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { StepBy(-1); });

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_up);
    column->addWidget(m_down);
    // As wide as a scroll-bar arrow in proportion to the font.
    const int width = std::max(12, fontMetrics().height());
    m_up->setFixedWidth(width);
    m_down->setFixedWidth(width);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);

    if (m_buddy != nullptr) m_buddy->installEventFilter(this);
}

void UpDownControl::SetRange(qint64 minimum, qint64 maximum) {
    if (minimum > maximum) std::swap(minimum, maximum);
    m_minimum = minimum;
    m_maximum = maximum;
}

qint64 UpDownControl::Position() const {
    const qint64 v = m_buddy ? ReadDecimalInt64(m_buddy->text().toStdString()) : m_minimum;
    return std::clamp(v, m_minimum, m_maximum);
}

void UpDownControl::SetPosition(qint64 value) {
    if (m_buddy == nullptr) return;
    SetEditText(m_buddy, QString::number(std::clamp(value, m_minimum, m_maximum)));
}

void UpDownControl::StepBy(int steps) {
    if (m_buddy == nullptr || !isEnabled()) return;
    // Step from the value as read, then keep the result inside the range:
    // from 10 in 0..9 one step down gives 9. Reading is first bounded to
    // |steps| beyond the range, so the sum cannot overflow.
    const qint64 reach = steps < 0 ? -static_cast<qint64>(steps) : steps;
    const qint64 read = ReadDecimalInt64(m_buddy->text().toStdString());
    const qint64 from = std::clamp(read, m_minimum - reach, m_maximum + reach);
    const qint64 next = std::clamp(from + steps, m_minimum, m_maximum);
    SetEditText(m_buddy, QString::number(next));
    emit Stepped(next);
}

bool UpDownControl::HandleWheel(QWheelEvent* event) {
    m_wheelRemainder += event->angleDelta().y();
    const int steps = m_wheelRemainder / 120;  // one step per notch
    m_wheelRemainder -= steps * 120;
    if (steps != 0) StepBy(steps);
    event->accept();
    return true;
}

bool UpDownControl::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_buddy && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) {
            StepBy(key->key() == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    if (event->type() == QEvent::Wheel &&
        (watched == m_buddy || watched == m_up || watched == m_down)) {
        return HandleWheel(static_cast<QWheelEvent*>(event));
    }
    return QWidget::eventFilter(watched, event);
}

void UpDownControl::wheelEvent(QWheelEvent* event) {
    HandleWheel(event);
}

QHBoxLayout* BuddyRow(QLineEdit* edit, UpDownControl* updown) {
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(edit);
    row->addWidget(updown);
    return row;
}

// --- Data transfer ----------------------------------------------------------------

void DataExchange::AddInt(QLineEdit* edit, int* field, int min, int max) {
    m_bindings.push_back({Kind::INT, edit, field, min, max, {}});
}

void DataExchange::AddUInt(QLineEdit* edit, uint32_t* field, uint32_t min, uint32_t max) {
    m_bindings.push_back({Kind::UINT, edit, field, min, max, {}});
}

void DataExchange::AddCheck(QAbstractButton* box, int* field) {
    m_bindings.push_back({Kind::CHECK, box, field, 0, 1, {}});
}

void DataExchange::AddRadioGroup(std::vector<QAbstractButton*> buttons, int* field) {
    QWidget* first = buttons.empty() ? nullptr : buttons.front();
    m_bindings.push_back({Kind::RADIO, first, field, 0, 0, std::move(buttons)});
}

void DataExchange::AddText(QLineEdit* edit, QString* field, int maxLength) {
    if (maxLength > 0) edit->setMaxLength(maxLength);
    m_bindings.push_back({Kind::TEXT, edit, field, 0, 0, {}});
}

void DataExchange::ToControls() const {
    for (const Binding& b : m_bindings) {
        switch (b.kind) {
            case Kind::INT:
                SetEditText(static_cast<QLineEdit*>(b.control),
                            QString::number(*static_cast<int*>(b.field)));
                break;
            case Kind::UINT:
                SetEditText(static_cast<QLineEdit*>(b.control),
                            QString::number(*static_cast<uint32_t*>(b.field)));
                break;
            case Kind::CHECK:
                static_cast<QAbstractButton*>(b.control)->setChecked(*static_cast<int*>(b.field) != 0);
                break;
            case Kind::RADIO: {
                const int index = *static_cast<int*>(b.field);
                for (size_t i = 0; i < b.buttons.size(); ++i) {
                    b.buttons[i]->setChecked(static_cast<int>(i) == index);
                }
                break;
            }
            case Kind::TEXT:
                SetEditText(static_cast<QLineEdit*>(b.control), *static_cast<QString*>(b.field));
                break;
        }
    }
}

bool DataExchange::ParseInteger(const QString& text, qint64 min, qint64 max, qint64* value) {
    const QString t = text.trimmed();
    int i = 0;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) ++i;
    const int firstDigit = i;
    while (i < t.size() && t[i] >= u'0' && t[i] <= u'9') ++i;
    if (i == firstDigit || i != t.size()) return false;
    // Saturating read: a long run of digits lands outside every range we use.
    const qint64 v = ReadDecimalInt64(t.toStdString());
    if (v < min || v > max) return false;
    *value = v;
    return true;
}

bool DataExchange::FromControls() {
    std::vector<qint64> values(m_bindings.size(), 0);
    for (size_t i = 0; i < m_bindings.size(); ++i) {
        const Binding& b = m_bindings[i];
        if (b.kind != Kind::INT && b.kind != Kind::UINT) continue;
        auto* edit = static_cast<QLineEdit*>(b.control);
        if (!ParseInteger(edit->text(), b.min, b.max, &values[i])) {
            ShowRangeMessage(m_dialog, b.min, b.max);
            edit->setFocus(Qt::OtherFocusReason);
            edit->selectAll();
            return false;
        }
    }
    for (size_t i = 0; i < m_bindings.size(); ++i) {
        const Binding& b = m_bindings[i];
        switch (b.kind) {
            case Kind::INT:
                *static_cast<int*>(b.field) = static_cast<int>(values[i]);
                break;
            case Kind::UINT:
                *static_cast<uint32_t*>(b.field) = static_cast<uint32_t>(values[i]);
                break;
            case Kind::CHECK:
                *static_cast<int*>(b.field) =
                    static_cast<QAbstractButton*>(b.control)->isChecked() ? 1 : 0;
                break;
            case Kind::RADIO: {
                int index = -1;
                for (size_t k = 0; k < b.buttons.size(); ++k) {
                    if (b.buttons[k]->isChecked()) index = static_cast<int>(k);
                }
                *static_cast<int*>(b.field) = index;
                break;
            }
            case Kind::TEXT:
                *static_cast<QString*>(b.field) = static_cast<QLineEdit*>(b.control)->text();
                break;
        }
    }
    return true;
}

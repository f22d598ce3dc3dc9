#pragma once
// Static texts of the console's dialogs.

#include <QLabel>
#include <QString>

#include "widgets/dialog_support.h"

/// The on-screen form of a text: a lone "\r" in our texts is a line break.
inline QString DisplayText(const char* text) {
    QString s = QString::fromUtf8(text);
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

/// A static text without an id (-1).
inline QLabel* StaticText(const char* text, QWidget* parent = nullptr) {
    auto* label = new QLabel(DisplayText(text), parent);
    SetControlId(label, -1);
    return label;
}

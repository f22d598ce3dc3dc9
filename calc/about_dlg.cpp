#include "calc/about_dlg.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "widgets/dialog_support.h"

namespace {
constexpr const char* TXT_CAPTION = "Kalvoraのﾊﾞｰｼﾞｮﾝ情報";
constexpr const char* TXT_VERSION = "Kalvora Version 0.70";
constexpr const char* TXT_ORIGIN =
    "1616ビットの整数で初等整数論を計算する電卓を、\n"
    "Linux デスクトップ向けに Qt 6 で作り直したものです.";
constexpr const char* TXT_OK = "OK";
constexpr int IDOK = 1;
constexpr int IDC_ICON_PROGRAM = 128;
constexpr int IDC_ICON_SECOND = 148;

QLabel* IconLabel(const QString& path, int id, QWidget* parent) {
    auto* label = new QLabel(parent);
    const int side = 32;
    const qreal ratio = parent->devicePixelRatioF();
    QPixmap pixmap = QIcon(path).pixmap(QSize(side, side), ratio);
    label->setPixmap(pixmap);
    label->setFixedSize(side, side);
    SetControlId(label, id);
    return label;
}
}  // namespace

AboutDlg::AboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(TXT_CAPTION));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    auto* version = new QLabel(QString::fromUtf8(TXT_VERSION), this);
    auto* origin = new QLabel(QString::fromUtf8(TXT_ORIGIN), this);
    origin->setTextFormat(Qt::PlainText);
    auto* ok = new QPushButton(QString::fromUtf8(TXT_OK), this);
    SetControlId(ok, IDOK);
    ok->setDefault(true);
    ok->setAutoDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(8);
    texts->addWidget(version);
    texts->addWidget(origin);
    texts->addStretch(1);

    auto* right = new QVBoxLayout;
    right->addWidget(ok);
    right->addStretch(1);
    right->addWidget(IconLabel(QStringLiteral(":/kalvora/icons/sieve.png"), IDC_ICON_SECOND, this),
                     0, Qt::AlignHCenter);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(14, 14, 14, 14);
    row->setSpacing(14);
    row->addWidget(IconLabel(QStringLiteral(":/kalvora/icons/kalvora.png"), IDC_ICON_PROGRAM, this),
                   0, Qt::AlignTop);
    row->addLayout(texts, 1);
    row->addLayout(right);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    ok->setFocus();
}

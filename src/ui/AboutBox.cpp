// CAboutBox: picture, icon, texts and OK.
#include "ui/AboutBox.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include "ui/Resources.h"

namespace {
constexpr int kWidth = 256;
constexpr int kPictureHeight = 112;
constexpr int kHeight = 144;
}  // namespace

CAboutBox::CAboutBox(QWidget* owner) : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setWindowTitle(QString::fromUtf8("\uFF8A\uFF9E\uFF70\uFF7C\uFF9E\uFF6E\uFF9D\u60C5\u5831"));  // ﾊﾞｰｼﾞｮﾝ情報
    setFixedSize(kWidth, kHeight);

    // One bit per pixel: index 0 in a light, index 1 in a dark tone of the
    // button face.
    const QColor face = palette().color(QPalette::Button);
    QImage bits(ArtPath("about.png"));
    if (bits.format() == QImage::Format_Mono || bits.format() == QImage::Format_MonoLSB ||
        bits.format() == QImage::Format_Indexed8) {
        QImage indexed = bits.convertToFormat(QImage::Format_Indexed8);
        QList<QRgb> table = indexed.colorTable();
        for (int i = 0; i < table.size(); ++i)
            table[i] = (i == 0 ? face.lighter(108) : face.darker(125)).rgb();
        indexed.setColorTable(table);
        m_picture = indexed.convertToFormat(QImage::Format_RGB32);
    } else if (!bits.isNull()) {
        m_picture = bits.convertToFormat(QImage::Format_RGB32);
    }
    m_icon = QPixmap(ArtPath("kelvara.png"));

    auto* name = new QLabel(QStringLiteral("Kelvara for Linux"), this);
    name->setAttribute(Qt::WA_TranslucentBackground);
    name->setGeometry(100, 36, 150, 18);
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    auto* version = new QLabel(QStringLiteral("Version ") + QStringLiteral(KELVARA_VERSION), this);
    version->setAttribute(Qt::WA_TranslucentBackground);
    version->setGeometry(100, 56, 150, 18);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    ok->setGeometry(kWidth - 84, kPictureHeight + 6, 76, 26);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    if (owner) {
        const QRect o = owner->frameGeometry();
        move(o.center() - QPoint(kWidth / 2, kHeight / 2));
    }
}

void CAboutBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Button));
    if (!m_picture.isNull())
        p.drawImage(0, 0, m_picture);
    if (!m_icon.isNull())
        p.drawPixmap(QRect(35, 38, 32, 32), m_icon);
}

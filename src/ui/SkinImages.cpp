// Loading skin pictures with Qt's image reader, with a fall-back to the
// built-in artwork, and blending digit glyphs over the background.
#include "ui/SkinImages.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <QImageReader>

#include "app/DebugLog.h"
#include "player/DigitBlend.h"
#include "ui/Resources.h"

namespace {

uint32_t Le32(const QByteArray& b, int at)
{
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 | uint32_t(uint8_t(b[at + 2])) << 16 |
           uint32_t(uint8_t(b[at + 3])) << 24;
}
uint16_t Le16(const QByteArray& b, int at) { return uint16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8); }

// False when an uncompressed BMP is shorter than its header promises. Qt's
// reader fills the missing rows with whatever it has, so a file cut short
// would otherwise pass as a picture with a black or garbage lower part.
bool BmpHasAllRows(const QString& path, qint64 fileSize)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(30 + 4);
    if (head.size() < 26 || head[0] != 'B' || head[1] != 'M')
        return true;  // not a BMP header we know; the reader decides
    const uint32_t dataOffset = Le32(head, 10);
    const uint32_t infoSize = Le32(head, 14);
    int64_t width, height;
    uint32_t bitsPerPixel, compression = 0;
    if (infoSize == 12) {  // OS/2 core header
        width = Le16(head, 18);
        height = Le16(head, 20);
        bitsPerPixel = Le16(head, 24);
    } else {
        if (head.size() < 34)
            return false;
        width = int32_t(Le32(head, 18));
        height = int32_t(Le32(head, 22));
        bitsPerPixel = Le16(head, 28);
        compression = Le32(head, 30);
    }
    if (std::abs(width) > 65535 || std::abs(height) > 65535)
        return false;  // no skin picture is that large; refuse before the sizes overflow
    if (compression != 0 && compression != 3 && compression != 6)
        return true;  // run-length data: its length cannot be told from the header
    const int64_t rowBytes = (std::abs(width) * bitsPerPixel + 31) / 32 * 4;
    return int64_t(dataOffset) + rowBytes * std::abs(height) <= fileSize;
}

QImage LoadRgb32(const QString& path) { return QImage(path).convertToFormat(QImage::Format_RGB32); }

// Reads one BMP; a null image and a reason when it cannot serve.
QImage ReadBitmap(const QString& path, int minWidth, int minHeight, QString& reason)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        reason = QStringLiteral("missing");
        return {};
    }
    if (info.size() == 0) {
        reason = QStringLiteral("empty file");
        return {};
    }
    if (!BmpHasAllRows(path, info.size())) {
        reason = QStringLiteral("truncated");
        return {};
    }
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    QImage image = reader.read();
    if (image.isNull()) {
        reason = reader.errorString();
        return {};
    }
    if (image.width() < minWidth || image.height() < minHeight) {
        reason = QStringLiteral("%1 x %2 pixels, needs at least %3 x %4")
                     .arg(image.width())
                     .arg(image.height())
                     .arg(minWidth)
                     .arg(minHeight);
        return {};
    }
    return image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

SkinImages LoadBuiltinSkinImages()
{
    return {LoadRgb32(ArtPath("background.png")), LoadRgb32(ArtPath("digit.png")),
            LoadRgb32(ArtPath("levelgauge.png")), LoadRgb32(ArtPath("autoplay.png"))};
}

bool LoadSkinImages(const CSkin& skin, SkinImages& out, QString* error)
{
    QString reason;
    const char* failed = nullptr;
    SkinImages images;
    const int digitWidth = skin.digitWidth;
    const bool widthUsable = digitWidth >= 1 && digitWidth <= kSkinMaxDigitWidth;
    const struct {
        const char* file;
        QImage* image;
        int width, height;
    } parts[] = {
        {"background.bmp", &images.background, kSkinBackgroundWidth, kSkinBackgroundHeight},
        {"digit.bmp", &images.digits, widthUsable ? kDigitGlyphCount * digitWidth : 0, kDigitHeight},
        {"levelgauge.bmp", &images.levelGauge, kSkinGaugeWidth, kSkinGaugeHeight},
        {"icon.bmp", &images.autoplay, kSkinAutoplayWidth, kSkinAutoplayHeight},
    };
    if (!widthUsable) {
        failed = "Skin.ini";
        reason = QStringLiteral("DigitWidth %1 is not 1..%2").arg(digitWidth).arg(kSkinMaxDigitWidth);
    } else {
        for (const auto& part : parts) {
            *part.image = ReadBitmap(QString::fromStdString(SkinFilePath(skin, part.file)), part.width,
                                     part.height, reason);
            if (part.image->isNull()) {
                failed = part.file;
                break;
            }
        }
    }
    if (failed) {
        const QString message = QStringLiteral("%1: %2").arg(QLatin1String(failed), reason);
        Log("Skin \"%s\": %s; using the built-in skin\n", skin.name.c_str(), message.toUtf8().constData());
        if (error)
            *error = message;
        out = LoadBuiltinSkinImages();
        return false;
    }
    out = std::move(images);
    return true;
}

void DrawSkinDigit(QImage& target, const SkinImages& images, int32_t digitWidth, int32_t digitBlend, int glyph,
                   int x)
{
    if (target.depth() != 32 || digitWidth < 1 || glyph < 0 || glyph >= kDigitGlyphCount)
        return;
    const QImage& background = images.background;
    const QImage& digits = images.digits;
    if (background.depth() != 32 || digits.depth() != 32)
        return;
    // Window rectangle of the cell, cut to what the target, the background
    // and the glyph cell all cover.
    const int64_t glyphLeft = int64_t(glyph) * digitWidth;
    const int64_t stripLeft = int64_t(digits.width()) - glyphLeft;  // cell columns the strip still has
    const int64_t left = std::max<int64_t>(x, 0);
    const int64_t right = std::min({int64_t(x) + digitWidth, int64_t(x) + stripLeft, int64_t(target.width()),
                                    int64_t(background.width())});
    const int bottom = std::min({kDigitTop + kDigitHeight, kDigitTop + digits.height(), target.height(),
                                 background.height()});
    if (right <= left || bottom <= kDigitTop)
        return;
    const QRect cell(int(left), kDigitTop, int(right - left), bottom - kDigitTop);
    const int sourceX = int(glyphLeft + (cell.left() - int64_t(x)));
    const int sourceY = cell.top() - kDigitTop;
    const auto pixel = [](const QImage& image, int px, int py) {
        return reinterpret_cast<const uint32_t*>(image.constScanLine(py)) + px;
    };
    BlendDigit(pixel(background, cell.left(), cell.top()), background.bytesPerLine() / 4,
               pixel(digits, sourceX, sourceY), digits.bytesPerLine() / 4,
               reinterpret_cast<uint32_t*>(target.scanLine(cell.top())) + cell.left(), target.bytesPerLine() / 4,
               cell.width(), cell.height(), digitBlend);
}

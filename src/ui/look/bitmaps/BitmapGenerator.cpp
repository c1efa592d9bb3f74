// Draws the application's bitmaps at build time and writes them as PNG
// files: trx4-bitmaps OUTPUT_DIR ID[@SIZE]...
// ID@SIZE writes the bitmap scaled to SIZE pixels square as ID@SIZE.png: the
// program icon in the sizes a desktop's icon theme asks for.
//
// Everything is drawn from fixed seeds, so every build produces the same
// images.

#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <random>
#include <vector>

namespace {

const QColor kNavy(0, 0, 125);

// Blurs each row along itself, wrapping around, so that the rows join
// seamlessly when the bitmap is repeated side by side.
void blurRows(std::vector<float>& values, int width, int height, int radius) {
    std::vector<float> row(static_cast<std::size_t>(width));
    const float span = static_cast<float>(2 * radius + 1);
    for (int y = 0; y < height; ++y) {
        float* line = values.data() + static_cast<std::ptrdiff_t>(y) * width;
        float sum = 0;
        for (int k = -radius; k <= radius; ++k) {
            sum += line[(k + width) % width];
        }
        for (int x = 0; x < width; ++x) {
            row[static_cast<std::size_t>(x)] = sum / span;
            sum += line[(x + radius + 1) % width] - line[(x - radius + width) % width];
        }
        std::copy(row.begin(), row.end(), line);
    }
}

// Brushed steel: long horizontal streaks over a fine grain, a cool grey tint
// and a soft sheen from the top. Only rows differ in light, so the texture
// repeats side by side without a seam.
QImage brushedSteel(QSize size, unsigned seed, double base) {
    const int width = size.width();
    const int height = size.height();
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> uniform(-1.0F, 1.0F);

    std::vector<float> streaks(static_cast<std::size_t>(width) * height);
    for (float& value : streaks) {
        value = uniform(random);
    }
    constexpr int kStreakRadius = 28;
    blurRows(streaks, width, height, kStreakRadius);
    blurRows(streaks, width, height, kStreakRadius / 2);
    const float streakScale = std::sqrt(static_cast<float>(2 * kStreakRadius + 1)) * 1.6F;

    std::vector<float> rowShade(static_cast<std::size_t>(height));
    for (float& value : rowShade) {
        value = uniform(random);
    }

    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        const double position = static_cast<double>(y) / height;
        const double sheen =
            14.0 * std::exp(-std::pow((position - 0.18) / 0.22, 2.0)) - 10.0 * position;
        const double row = 3.0 * rowShade[static_cast<std::size_t>(y)];
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const double streak =
                7.0 * streakScale * streaks[static_cast<std::size_t>(y) * width + x];
            const double grain = 2.5 * uniform(random);
            const double value = base + sheen + row + streak + grain;
            const auto channel = [&](double tint) {
                return std::clamp(static_cast<int>(std::lround(value * tint)), 0, 255);
            };
            line[x] = qRgb(channel(0.965), channel(0.985), channel(1.03));
        }
    }
    return image;
}

QImage transparentImage(QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

struct LedColors {
    QColor centre;
    QColor body;
    QColor rim;
    int shine; // alpha of the reflection
};

// A round lens in a recessed socket, lit from the upper left.
QImage led(const LedColors& colors) {
    constexpr int kSize = 18;
    QImage image = transparentImage(QSize(kSize, kSize));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(kSize / 2.0, kSize / 2.0);

    QLinearGradient socket(0, 0, 0, kSize);
    socket.setColorAt(0, QColor(72, 74, 80));
    socket.setColorAt(1, QColor(226, 228, 232));
    painter.setPen(Qt::NoPen);
    painter.setBrush(socket);
    painter.drawEllipse(centre, 8.6, 8.6);

    QRadialGradient lens(centre - QPointF(1.5, 2.0), 8.0);
    lens.setColorAt(0, colors.centre);
    lens.setColorAt(0.55, colors.body);
    lens.setColorAt(1, colors.rim);
    painter.setBrush(lens);
    painter.drawEllipse(centre, 6.6, 6.6);

    painter.setBrush(QColor(255, 255, 255, colors.shine));
    painter.drawEllipse(QRectF(centre.x() - 4.2, centre.y() - 5.0, 4.6, 3.0));
    return image;
}

QFont font(int pixelSize, bool bold, bool italic = false) {
    QFont result(QStringLiteral("DejaVu Sans"));
    result.setPixelSize(pixelSize);
    result.setBold(bold);
    result.setItalic(italic);
    result.setHintingPreference(QFont::PreferNoHinting);
    return result;
}

// Text cut into the steel: a light edge below, the dark ink on top.
void engrave(QPainter& painter, QPointF origin, const QFont& textFont, const QString& text,
             const QColor& ink) {
    QPainterPath path;
    path.addText(origin, textFont, text);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 170));
    painter.drawPath(path.translated(1.0, 1.2));
    painter.setBrush(ink);
    painter.drawPath(path);
}

// A heading: the "TRX4" mark, an optional title beside it and a rule below
// that fades out to the right. Transparent, to sit on the steel background.
QImage heading(int width, const QString& title) {
    constexpr int kHeight = 56;
    QImage image = transparentImage(QSize(width, kHeight));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    const QFont mark = font(34, true, true);
    engrave(painter, QPointF(6, 38), mark, QStringLiteral("TRX4"), kNavy);
    if (!title.isEmpty()) {
        const double markWidth = QFontMetricsF(mark).horizontalAdvance(QStringLiteral("TRX4"));
        engrave(painter, QPointF(markWidth + 20, 37), font(20, false), title, QColor(34, 40, 92));
    }

    QLinearGradient rule(0, 0, width, 0);
    rule.setColorAt(0, QColor(0, 0, 125, 220));
    rule.setColorAt(1, QColor(0, 0, 125, 0));
    painter.fillRect(QRectF(6, 46, width - 6, 2.5), rule);
    painter.fillRect(QRectF(7, 48.5, width - 7, 1), QColor(255, 255, 255, 150));
    return image;
}

// The program icon: a steel plate with the "TRX4" mark above eight level
// meters.
QImage programIcon() {
    constexpr int kSize = 256;
    QImage image = transparentImage(QSize(kSize, kSize));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    const QRectF plate(8, 8, kSize - 16, kSize - 16);
    QPainterPath outline;
    outline.addRoundedRect(plate, 40, 40);
    painter.setClipPath(outline);
    painter.drawImage(0, 0, brushedSteel(QSize(kSize, kSize), 128, 205));
    painter.setClipping(false);
    painter.setPen(QPen(kNavy, 8));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(outline);

    engrave(painter, QPointF(34, 98), font(70, true, true), QStringLiteral("TRX4"), kNavy);

    const QRectF meters(40, 122, kSize - 80, 92);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 128));
    painter.drawRoundedRect(meters, 10, 10);
    constexpr int kLevels[] = {70, 86, 64, 52, 58, 92, 40, 46};
    const double slot = (meters.width() - 16) / 8.0;
    for (int i = 0; i < 8; ++i) {
        const double level = kLevels[i] * (meters.height() - 16) / 100.0;
        const QRectF bar(meters.left() + 8 + i * slot + 3, meters.bottom() - 8 - level, slot - 6,
                         level);
        QLinearGradient fill(0, meters.bottom(), 0, meters.top());
        fill.setColorAt(0, QColor(255, 0, 0));
        fill.setColorAt(0.55, QColor(255, 120, 0));
        fill.setColorAt(1, QColor(255, 190, 0));
        painter.fillRect(bar, fill);
    }
    return image;
}

const std::map<int, std::function<QImage()>>& drawings() {
    static const std::map<int, std::function<QImage()>> table{
        {128, programIcon},
        {136, [] { return brushedSteel(QSize(800, 640), 136, 200); }},
        {155, [] { return brushedSteel(QSize(1024, 768), 155, 188); }},
        {145, [] { return heading(420, QStringLiteral("Remote")); }},
        {146, [] { return heading(150, QString()); }},
        {4017, [] { return heading(420, QStringLiteral("Settings")); }},
        {4018, [] { return heading(420, QStringLiteral("Advanced Settings")); }},
        {4020, [] { return heading(420, QStringLiteral("Update Software")); }},
        {147,
         [] {
             return led({QColor(214, 255, 200), QColor(40, 214, 64), QColor(8, 104, 24), 200});
         }},
        {4014,
         [] {
             return led({QColor(92, 112, 94), QColor(42, 60, 46), QColor(18, 28, 20), 90});
         }},
        {148,
         [] {
             return led({QColor(255, 206, 196), QColor(232, 32, 30), QColor(118, 8, 8), 200});
         }},
    };
    return table;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR ID[@SIZE]...\n", argv[0]);
        return 2;
    }
    QGuiApplication application(argc, argv);
    const QString outputDir = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        const QString name = QString::fromLocal8Bit(argv[i]);
        const QStringList parts = name.split(QLatin1Char('@'));
        const int id = parts[0].toInt();
        const int size = parts.size() == 2 ? parts[1].toInt() : 0;
        const auto drawing = drawings().find(id);
        if (drawing == drawings().end() || parts.size() > 2 || (parts.size() == 2 && size <= 0)) {
            std::fprintf(stderr, "no drawing for bitmap %s\n", argv[i]);
            return 1;
        }
        QImage image = drawing->second();
        if (size > 0) {
            image = image.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        }
        const QString path = QStringLiteral("%1/%2.png").arg(outputDir, name);
        if (!image.save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}

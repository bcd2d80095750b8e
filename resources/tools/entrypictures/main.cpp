// SPDX-License-Identifier: GPL-3.0-or-later
#include "PictureScene.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <cstdio>

// entrypictures DESCRIPTIONS OUTPUT_ROOT: writes every picture of the description file as PNG
// under OUTPUT_ROOT, whatever the extension of its name.
int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: entrypictures pictures.json output-root\n");
        return 2;
    }
    QFile input(QString::fromLocal8Bit(argv[1]));
    if (!input.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(input.readAll(), &error);
    if (document.isNull()) {
        std::fprintf(stderr, "%s: %s\n", argv[1], qPrintable(error.errorString()));
        return 1;
    }
    const QDir root(QString::fromLocal8Bit(argv[2]));
    const QJsonArray size = document.object().value(QStringLiteral("size")).toArray();
    const QSize pictureSize(size.at(0).toInt(219), size.at(1).toInt(285));
    bool failed = false;
    for (const QJsonValue& value : document.object().value(QStringLiteral("pictures")).toArray()) {
        const QJsonObject description = value.toObject();
        const QString path = root.filePath(description.value(QStringLiteral("file")).toString());
        const PictureScene scene(description);
        QImage image = scene.render(pictureSize);
        if (scene.overflowed())
            std::fprintf(stderr, "%s: the items do not fit\n", qPrintable(path));
        for (const QString& text : scene.clippedTexts())
            std::fprintf(stderr, "%s: text cut off: %s\n", qPrintable(path), qPrintable(text));
        failed = failed || scene.overflowed() || !scene.clippedTexts().isEmpty();
        // A palette keeps the flat grey pictures at a few kilobytes.
        image = image.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG", 9);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QSaveFile file(path);
        file.setDirectWriteFallback(false);
        if (!file.open(QIODevice::WriteOnly) || file.write(png) != png.size() || !file.commit()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return failed ? 1 : 0;
}

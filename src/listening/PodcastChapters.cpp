#include "PodcastChapters.h"

#include <climits>
#include <cmath>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

std::optional<std::vector<MediaChapter>> ParsePodcastChapters(std::string_view json,
                                                              std::string& error) {
    if (json.size() > kMaxChaptersFileBytes) {
        error =
            "the chapters file is larger than " + std::to_string(kMaxChaptersFileBytes) + " bytes";
        return std::nullopt;
    }
    QJsonParseError parse{};
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray::fromRawData(json.data(), static_cast<qsizetype>(json.size())), &parse);
    if (parse.error != QJsonParseError::NoError) {
        error = "the chapters file is not JSON: " + parse.errorString().toStdString() +
                " at byte " + std::to_string(parse.offset);
        return std::nullopt;
    }
    const QJsonValue list = document.object().value(QStringLiteral("chapters"));
    if (!list.isArray()) {
        error = "the chapters file has no list of chapters";
        return std::nullopt;
    }
    std::vector<MediaChapter> chapters;
    for (const QJsonValue entry : list.toArray()) {
        if (chapters.size() == kMaxChapters) {
            break;
        }
        const QJsonObject chapter = entry.toObject();
        const double start = chapter.value(QStringLiteral("startTime")).toDouble(-1.0);
        if (!(start >= 0.0) || start * 1000.0 >= static_cast<double>(INT_MAX) ||
            chapter.value(QStringLiteral("toc")) == QJsonValue(false)) {
            continue;
        }
        const QString title = chapter.value(QStringLiteral("title")).toString();
        chapters.push_back({static_cast<int>(std::lround(start * 1000.0)),
                            title.left(kMaxChapterTitleChars).toStdString()});
    }
    return chapters;
}

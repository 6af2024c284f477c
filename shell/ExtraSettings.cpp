#include "ExtraSettings.h"

#include "Settings.h"

#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <unistd.h>

namespace twl {

namespace {

const QString Recent = QStringLiteral("Recent");
const QString Window = QStringLiteral("Window");
const QString Backups = QStringLiteral("Backups");

int readNumber(const QString& path, const QString& section, const char* key, int fallback) {
    bool ok = false;
    const int value =
        readIniValue(path, section, QLatin1String(key), QString()).trimmed().toInt(&ok);
    return ok ? value : fallback;
}

QString line(const char* key, const QString& value) {
    return QLatin1String(key) + QLatin1Char('=') + value + QStringLiteral("\r\n");
}

} // namespace

ExtraSettings readExtraSettings(const QString& path) {
    ExtraSettings settings;
    for (int i = 1; i <= RecentShowsKept; ++i) {
        const QString show = readIniValue(path, Recent, QStringLiteral("Show%1").arg(i), QString());
        if (!show.isEmpty() && !settings.recentShows.contains(show))
            settings.recentShows << show;
    }
    const int width = readNumber(path, Window, "Width", 0);
    const int height = readNumber(path, Window, "Height", 0);
    if (width > 0 && height > 0)
        settings.windowPlace = QRect(readNumber(path, Window, "Left", 0),
                                     readNumber(path, Window, "Top", 0), width, height);
    settings.windowMaximized =
        readIniValue(path, Window, QStringLiteral("Maximized"), QString()).trimmed() ==
        QLatin1String("True");
    settings.backupsKept =
        std::max(1, readNumber(path, Backups, "Keep", store::DefaultBackupsKept));
    return settings;
}

bool writeExtraSettings(const QString& path, const ExtraSettings& settings) {
    QString text = QStringLiteral("[Recent]\r\n");
    for (int i = 0; i < settings.recentShows.size() && i < RecentShowsKept; ++i)
        text += QStringLiteral("Show%1=\"%2\"\r\n").arg(i + 1).arg(settings.recentShows[i]);
    text += QStringLiteral("\r\n[Window]\r\n");
    if (!settings.windowPlace.isEmpty()) {
        const QRect& place = settings.windowPlace;
        text += line("Left", QString::number(place.x())) + line("Top", QString::number(place.y())) +
                line("Width", QString::number(place.width())) +
                line("Height", QString::number(place.height()));
    }
    text += line("Maximized",
                 settings.windowMaximized ? QStringLiteral("True") : QStringLiteral("False"));
    text += QStringLiteral("\r\n[Backups]\r\n") +
            line("Keep", QString::number(std::max(1, settings.backupsKept)));
    return writeSettingsFile(path, text.toUtf8());
}

QStringList withRecentShow(const QStringList& recent, const QString& show) {
    QStringList list{show};
    for (const QString& earlier : recent) {
        if (earlier != show && list.size() < RecentShowsKept)
            list << earlier;
    }
    return list;
}

QString recentShowCaption(int number, const QString& show) {
    QString name = QFileInfo(show).fileName();
    if (name.right(4).compare(QLatin1String(".twl"), Qt::CaseInsensitive) == 0)
        name.chop(4);
    // An ampersand in a show's name is shown as itself, not taken as an access key.
    name.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return QLatin1Char('&') + QString::number(number) + QLatin1Char(' ') + name;
}

QRect fitOnScreen(const QRect& place, const QRect& available) {
    if (place.isEmpty() || available.isEmpty())
        return place;
    QRect fitted(place.topLeft(), place.size().boundedTo(available.size()));
    fitted.moveLeft(
        std::clamp(fitted.left(), available.left(), available.right() - fitted.width() + 1));
    fitted.moveTop(
        std::clamp(fitted.top(), available.top(), available.bottom() - fitted.height() + 1));
    return fitted;
}

} // namespace twl

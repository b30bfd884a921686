#include "gui/widgets/date_text.h"

#include "cache/ole_date.h"

#include <QDateTime>
#include <QLocale>

namespace tarvex::ui {

std::optional<QString> localeDateText(double oleDays) {
    std::tm local{};
    if (!cache::localTimeFromOleDays(oleDays, local)) {
        return std::nullopt;
    }
    const QDate day{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
    const QTime time{local.tm_hour, local.tm_min, local.tm_sec};
    const QLocale locale;
    // The locale's short form with seconds, as the desktop writes a date with its time of day.
    QString timeFormat = locale.timeFormat(QLocale::ShortFormat);
    if (!timeFormat.contains(QLatin1String("ss"))) {
        timeFormat.replace(QLatin1String("mm"), QLatin1String("mm:ss"));
    }
    return locale.toString(day, QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(time, timeFormat);
}

QString searchedAtText(const cache::OleDate& date) {
    if (date.status != cache::OleDate::kValid) {
        return QStringLiteral("Unknown");
    }
    return localeDateText(date.days).value_or(QStringLiteral("Unknown"));
}

} // namespace tarvex::ui

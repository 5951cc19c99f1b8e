#include "online/Feedback.h"

#include <QRegularExpression>

QString FeedbackLabel(const QString& english, const QString& caption)
{
    if (caption == english)
        return english;
    return english + QStringLiteral(" (") + caption + QLatin1Char(')');
}

QString FeedbackMessage(const QString& plainText)
{
    QString text = plainText;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text.replace(QLatin1Char('\n'), QStringLiteral("\r\n")).trimmed();
}

QString FeedbackText(TFeedbackChoice choice, const QString& likeLabel, const QString& dislikeLabel,
                     const QString& message)
{
    QString text;
    if (choice == TFeedbackChoice::Like)
        text = likeLabel + QLatin1Char('\r');
    else if (choice == TFeedbackChoice::Dislike)
        text = dislikeLabel + QLatin1Char('\r');
    return text + message;
}

bool IsValidFeedbackEmail(const QString& email)
{
    // Anchored again around the pattern so that "$" cannot match before a
    // final line break: the whole text must be the address.
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        QStringLiteral("^[a-zA-Z0-9_.+-]+@[a-zA-Z0-9-]+\\.[a-zA-Z0-9-.]*[a-zA-Z0-9]+$")));
    const QRegularExpressionMatch match = pattern.match(email);
    return match.hasMatch() && match.capturedLength() > 0;
}

FormFields FeedbackFields(const QString& appCaption, const QString& appVersion, const QString& feedback,
                          const QString& email)
{
    FormFields fields{QStringLiteral("cmd=feedback"), QStringLiteral("appname=") + appCaption,
                      QStringLiteral("version=") + appVersion, QStringLiteral("feedback=") + feedback};
    if (!email.isEmpty())
        fields.append(QStringLiteral("email=") + email);
    return fields;
}

bool IsFeedbackReceived(const QString& reply)
{
    const QStringList lines = reply.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    return lines.join(QStringLiteral("\r\n")).trimmed() == QStringLiteral("OK");
}

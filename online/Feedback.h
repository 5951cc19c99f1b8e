#pragma once

#include "online/WebRequest.h"

#include <QString>

// What the feedback window sends to the maker's web server and how it judges
// the reply.

// The user's choice on the feedback window.
enum class TFeedbackChoice { None, Like, Dislike };

// The path of the feedback page on the maker's web server.
inline constexpr char kFeedbackPath[] = "/php/feedback.php";
// How long each attempt may take to connect, and then to answer, in ms.
inline constexpr int kFeedbackTimeoutMs = 3000;

// The label of a choice as sent: the English words, followed by " (" +
// caption + ")" when the window shows them translated (caption differs).
QString FeedbackLabel(const QString& english, const QString& caption);

// The message of an edit's plain text ("\n" between lines): its lines joined
// by CR LF, as the server reads them, and outer white space removed.
QString FeedbackMessage(const QString& plainText);

// The text of the "feedback" field: the label of the choice and a carriage
// return when a choice is made, then the message (already trimmed).
QString FeedbackText(TFeedbackChoice choice, const QString& likeLabel, const QString& dislikeLabel,
                     const QString& message);

// True when `email` (already trimmed, not empty) is an address the maker's
// server takes: the whole text matches the address pattern, case-sensitive.
bool IsValidFeedbackEmail(const QString& email);

// The fields of the request in their order: cmd, appname, version, feedback
// and, only when `email` is not empty, email.
FormFields FeedbackFields(const QString& appCaption, const QString& appVersion, const QString& feedback,
                          const QString& email);

// True only when the reply, its lines joined again and trimmed, is exactly
// "OK".
bool IsFeedbackReceived(const QString& reply);

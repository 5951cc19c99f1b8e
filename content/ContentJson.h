// The content of a code as a JSON object, for lantrix-scan --json.
#pragma once

#include "content/Content.h"

#include <QJsonObject>

// {"type": ContentTypeName, ...the typed value's fields}: "url" {url};
// "email" {to, subject, body, cc, bcc}; "phone" {number}; "sms" {number, body};
// "wifi" {ssid, security, password, hidden}; "contact" {name, phones,
// emails, organization, title, address, url, note}; "event" {summary,
// start, end, location, description, timeZone}; "place" {latitude, longitude,
// altitude, query}; "text" nothing more. A value that the code does not give
// is null (an empty list for phones and e-mail addresses, cc and bcc).
QJsonObject ContentJson(const TContent& content);

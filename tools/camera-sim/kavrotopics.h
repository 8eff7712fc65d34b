#pragma once

#include <QString>

// The topics of the Kavro camera on the broker, used by the simulated camera and by the programs that play or
// watch it.
const QString kParamsSetTopic = QStringLiteral("/hdr/set/parameters"); // one parameter or a parameter file
const QString kControlSetTopic = QStringLiteral("/hdr/set/controls"); // "load-defaults", "upload"
const QString kConfigTopic = QStringLiteral("/hdr/config/parameters"); // the description (retained)
const QString kStatusPrefix = QStringLiteral("/hdr/status/parameters/"); // + name: its value
const QString kUploadTopic = QStringLiteral("/hdr/status/upload"); // the parameter file asked for
const QString kCapturePrefix = QStringLiteral("/hdr/capture/upload/"); // + buffer: one capture buffer
const QString kLogTopic = QStringLiteral("/hdr/status/logs"); // one line of text per message

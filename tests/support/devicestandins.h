#pragma once

#include <QString>

// A file named kStandInName passes for a CM108's hidraw device: asked for its HID ids, it answers
// with a CM108's, through the ioctl that the tavrin_hidrawstandin library defines and exports.
namespace hidraw {
inline const QString kStandInName = QStringLiteral("cm108.hidraw");
// How often a stand-in was taken for a CM108 so far.
int identified();
// The last GPIO report written to the stand-in as "cm108 <levels>/<directions>", or nothing.
QString lastReport(const QString& path);
} // namespace hidraw

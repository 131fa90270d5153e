#pragma once

#include <QColor>
#include <QString>

class QStyle;
class QWidget;

// The window's named colours.
namespace look {
inline const QColor kRed{255, 0, 0};
inline const QColor kBlue{0, 0, 255};
inline const QColor kBlack{0, 0, 0};
inline const QColor kTeal{0, 128, 128};
inline const QColor kNavy{0, 0, 128};
inline const QColor kGreen{0, 128, 0};
inline const QColor kYellow{255, 255, 0};
inline const QColor kSilver{192, 192, 192};
inline const QColor kWhite{255, 255, 255};
inline const QColor kGrey{128, 128, 128};

// Caption colour of a button or label.
void setTextColour(QWidget* widget, const QColor& colour);
QColor textColour(const QWidget* widget);
// Background of a panel.
void setFillColour(QWidget* widget, const QColor& colour);
QColor fillColour(const QWidget* widget);

// The window's style: Fusion on every desktop unless another is named, since the caption
// colours are part of what the window tells. Owned by the caller (QApplication::setStyle takes
// it).
QStyle* createStyle(const QString& name = {});
} // namespace look

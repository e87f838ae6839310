#pragma once

#include <QFont>
#include <QLabel>
#include <QString>

class QWidget;

namespace tarnwick::viewer {

/// The fixed-pitch font of the raw bytes and dumps.
QFont FixedFont();

/// A selectable label in the fixed font for the raw bytes under a grid, named Name.
QLabel* DataLabel(const QString& Name, QWidget* Parent);

/// A one-line label that shows as much of its text as its width allows, cut in the middle
/// ("opened trip…trip.bin"), instead of widening its column or being cut at the edge; text()
/// stays the whole text (give it a tooltip that holds it).
class ElidedLabel : public QLabel {
 public:
  using QLabel::QLabel;
  QSize minimumSizeHint() const override;
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* Event) override;
};

} // namespace tarnwick::viewer

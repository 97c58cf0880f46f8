// TGroupBox: a group box drawn the classic way, its caption sitting on the
// etched frame's top line at 8 pixels from the left. Qt's styles put the
// title above the frame instead, which pushes the frame down onto the
// labels laid out inside at their designed positions.
#pragma once

#include <QGroupBox>

namespace vizuvod {

class TGroupBox : public QGroupBox {
 public:
  using QGroupBox::QGroupBox;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace vizuvod

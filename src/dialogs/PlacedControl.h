// The forms lay out their controls at fixed places, each named as the form calls it.
#pragma once

#include <QLatin1String>
#include <QRect>
#include <QWidget>

namespace tandro {

template <typename Control>
Control* place(QWidget* form, const char* name, const QRect& geometry) {
  auto* control = new Control(form);
  control->setObjectName(QLatin1String(name));
  control->setGeometry(geometry);
  return control;
}

}  // namespace tandro

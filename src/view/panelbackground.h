#pragma once

class QWidget;

// A label whose text changes often fills its background with the colour its panel (the nearest
// group box, or the window) shows behind it, drawn without any children. It then looks as if it
// had no background of its own, yet a new text repaints the label alone and not the panel: a
// group box repaints its frame and title for every change under it.
void fillLikeItsPanel(QWidget *label);

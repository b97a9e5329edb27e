#pragma once

#include "archive/ScanMap.h"

#include <QColor>
#include <QString>
#include <QWidget>

// A picture of the scanned file as a horizontal strip: each pixel column a
// range of the file, coloured by what it held (the core decides which kind a
// range shows; damage always shows).
class DamageMap : public QWidget
{
    Q_OBJECT

public:
    explicit DamageMap(QWidget* parent = nullptr);

    // The map to draw; nothing is drawn without one. The map must outlive
    // the widget or be replaced before it changes.
    void setMap(const er::ScanMap* map);

    // The colour and the legend's name of each kind of region.
    static QColor colourOf(er::Region region);
    static QString nameOf(er::Region region);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const er::ScanMap* m_map = nullptr;
};

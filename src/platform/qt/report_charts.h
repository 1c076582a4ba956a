#pragma once
#include <QRectF>

#include "model/alignment_record.h"
#include "model/session_record.h"

class QPainter;

namespace kv7 {

// SD reading against setting, the best plateau shaded, the chosen setting marked.
void DrawSweepChart(QPainter& p, const QRectF& box, const SessionRecord::Sweep& s);

// Reading against value for the steps of an aligned point, joined in the order taken, the
// target dashed across its shaded tolerance band, the value it ended at marked.
void DrawAlignmentChart(QPainter& p, const QRectF& box, const AlignmentRecord& a);

}  // namespace kv7

// The redraw of the waveform view (HScroll1_Change): the geometry is computed
// as a list of lines, which the picture keeps and paints in one batch.
#include <QLabel>
#include <QScrollBar>

#include "app/form1.h"
#include "app/picture_box.h"
#include "display/render_geometry.h"

namespace {
// Reused between redraws so a full capture does not allocate every time.
thread_local RedrawGeometry g_geometry;
thread_local std::vector<QLineF> g_lines;
} // namespace

void Form1::HScroll1_Change()
{
    Picture1->clearDrawing();
    RedrawInputs in{&state.SampleData, state.LastSampleIndex, HScroll1->value(), state.Magnification,
                    isAnalogMode(),     state.XRefSample,      state.XAxisSample};
    ComputeRedraw(in, g_geometry);

    g_lines.clear();
    g_lines.reserve(g_geometry.segments.size());
    for (const Segment &s : g_geometry.segments)
        g_lines.emplace_back(s.x1, s.y1, s.x2, s.y2);
    Picture1->drawLines(g_lines.data(), g_lines.size(), QColor(0, 0, 0));

    auto place = [this](int id, const CursorPlacement &c) {
        LineObject &l = Picture1->line(id);
        l.visible = c.visible;
        if (c.visible)
            l.x1 = l.x2 = c.x;
    };
    place(PictureBox::Line1, g_geometry.line1);
    place(PictureBox::Line2, g_geometry.line2);
    Picture1->lineObjectsChanged();
    Label6->setText(g_geometry.label6);
    emit viewChanged();
}

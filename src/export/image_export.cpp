#include "export/image_export.h"

#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QSvgGenerator>

#include "app/form1.h"
#include "app/picture_box.h"

namespace {

constexpr int kCaptionHeight = 20;

QSize PictureSize(const Form1 &form) { return form.Picture1->size() + QSize(0, kCaptionHeight); }

// Caption line, then the drawing area with its labels and scroll bar.
void PaintPicture(const Form1 &form, QPainter &p)
{
    const QSize size = PictureSize(form);
    p.fillRect(QRect(QPoint(0, 0), QSize(size.width(), kCaptionHeight)), Qt::white);
    p.setPen(Qt::black);
    p.setFont(form.Label1->font());
    p.drawText(QRect(4, 0, size.width() - 8, kCaptionHeight), Qt::AlignVCenter | Qt::AlignLeft,
               CaptureImageCaption(form));
    // The drawing area with its channel names and view-start label; the
    // scroll bar below the traces is a control, not part of the picture.
    const QPoint origin(0, kCaptionHeight);
    form.Picture1->render(&p, origin, QRegion(), QWidget::DrawWindowBackground);
    for (QWidget *child : form.Picture1->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child != static_cast<QWidget *>(form.HScroll1) && child->isVisibleTo(form.Picture1))
            child->render(&p, origin + child->pos(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
    }
}

} // namespace

QString CaptureImageCaption(const Form1 &form)
{
    QStringList parts{QStringLiteral("Logic Analyzer"), form.Combo1->currentText(), form.Label1->text()};
    if (!form.Label2->text().isEmpty())
        parts << QStringLiteral("Δt %1").arg(form.Label2->text().simplified());
    if (form.isAnalogMode())
        parts << QStringLiteral("ΔV %1").arg(form.Label4->text());
    return parts.join(QStringLiteral("   "));
}

QImage CaptureImage(const Form1 &form)
{
    QImage image(PictureSize(form), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    PaintPicture(form, p);
    p.end();
    return image;
}

bool WriteCaptureSvg(const Form1 &form, QIODevice &out, QString *error)
{
    QSvgGenerator svg;
    svg.setOutputDevice(&out);
    svg.setSize(PictureSize(form));
    svg.setViewBox(QRect(QPoint(0, 0), PictureSize(form)));
    svg.setTitle(QStringLiteral("Logic Analyzer capture"));
    svg.setDescription(CaptureImageCaption(form) + QStringLiteral(" (Logic Analyzer " LA_VERSION ")"));
    QPainter p;
    if (!p.begin(&svg)) {
        *error = QStringLiteral("the SVG picture cannot be started");
        return false;
    }
    PaintPicture(form, p);
    p.end();
    return true;
}

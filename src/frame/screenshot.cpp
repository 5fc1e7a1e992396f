#include "frame/screenshot.h"

#include <QPixmap>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <cstdio>

#include "app/form1.h"
#include "frame/main_window.h"

void ScheduleScreenshot(MainWindow &window, const QString &path)
{
    QTimer::singleShot(0, &window, [&window, path] {
        Form1 &form = window.form();
        form.Command1[0]->click(); // Setting: returns once the instrument has taken it
        form.Command1[1]->click(); // Run, then the read of the capture
        while (form.VScroll1->value() < form.VScroll1->maximum())
            form.VScroll1->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        if (!window.grab().save(path))
            std::fprintf(stderr, "logic-analyzer: cannot write %s\n", qPrintable(path));
        window.close();
    });
}

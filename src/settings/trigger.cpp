// Trigger kind, condition, channel and pattern. Each change marks the
// instrument's configuration as stale until the next "Setting".
#include <QPushButton>

#include "app/form1.h"

void Form1::Option1_Click(int index)
{
    // The first kind triggers on one channel, the second on the CH1..CH4
    // pattern; the channel buttons and the pattern toggles share their places.
    for (int i = 0; i < 4; ++i) {
        Check1[i]->setVisible(index != 0);
        Option3[i]->setVisible(index != 1);
    }
    disableRunReadSave();
    focusPicture();
}

void Form1::Option2_Click(int /*index*/)
{
    disableRunReadSave();
    focusPicture();
}

void Form1::Option3_Click(int /*index*/)
{
    for (int i = 0; i < 4; ++i)
        Option3[i]->setText(isOptionSelected(Option3[i]) ? QStringLiteral("Trigger") : QStringLiteral("N/A"));
    disableRunReadSave();
    focusPicture();
}

void Form1::Check1_Click(int index)
{
    Check1[index]->setText(checkValue(index) ? QStringLiteral("1") : QStringLiteral("0"));
    disableRunReadSave();
    focusPicture();
}

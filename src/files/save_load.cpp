// Save and Load of capture files (Command2). Filled in with the file commands.
#include "app/form1.h"

void Form1::Command2_Click(int index)
{
    if (index == 0)
        Load();
    else
        Save();
}

void Form1::Load() {}
void Form1::Save() {}

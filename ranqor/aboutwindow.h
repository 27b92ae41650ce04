#pragma once
// Ranqor's about window: a picture of what the program does and a close button.

#include "toolkit.h"

namespace ranqor {

class AboutWindow : public tk::Form
{
    Q_OBJECT
public:
    explicit AboutWindow(QWidget *parent = nullptr);

    tk::ImageBox *Image1;
    tk::Button *Command3;

    void Command3_Click();
};

} // namespace ranqor

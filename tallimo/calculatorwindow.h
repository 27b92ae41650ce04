#pragma once
// Tallimo's only window: turns the numbers of correct and wrong answers in one
// subject and its number of questions into the subject's percentage, where
// three wrong answers cancel one correct answer.

#include "toolkit.h"

#include <QIcon>

namespace tallimo {

class CalculatorWindow : public tk::Form
{
    Q_OBJECT
public:
    explicit CalculatorWindow(QWidget *parent = nullptr);

    tk::TextBox *Text1; // correct answers
    tk::TextBox *Text2; // wrong answers
    tk::TextBox *Text3; // questions in the subject
    tk::Label *Label1;
    tk::Label *Label2;
    tk::Label *Label3;
    tk::Label *Label4; // the result
    tk::Label *Label5; // the publisher's web address
    tk::Button *Command1;

private:
    void Command1_Click();
};

// The window's icon, drawn here so that the program ships no picture files.
QIcon windowIcon();

} // namespace tallimo

#pragma once
// Ranqor's main window: ten subject percentages in, their weighted average and
// four estimated ranks out, recomputed on every change of a box.

#include "rank.h"
#include "toolkit.h"

#include <array>
#include <cstdint>

namespace ranqor {

class AboutWindow;

class EstimatorWindow : public tk::Form, public RankFields
{
    Q_OBJECT
public:
    explicit EstimatorWindow(QWidget *parent = nullptr);
    ~EstimatorWindow() override;

    // The boxes Text1..Text10 as one array, index 0 being Text1.
    std::array<tk::TextBox *, 10> Text{};
    std::array<tk::Label *, 10> SubjectLabel{}; // Label12 .. Label21
    tk::Label *Label1, *Label2, *Label3, *Label4, *Label5;
    tk::Label *Label6, *Label7, *Label8, *Label9, *Label10, *Label11;
    tk::Label *Label22, *Label23, *Label24, *Label25;
    tk::Shape *Shape1, *Shape2, *Shape3, *Shape4, *Shape5, *Shape6, *Shape7, *Shape8;
    tk::Button *Command1, *Command2, *Command3;

    // The about window, while it is open.
    AboutWindow *aboutWindow() const;

    void ComputeAverage();
    // Writes the rank of RankAverage into the label RankMode selects.
    void EstimateRank();

    // Change of box n (1..10): the whole handling of one keystroke.
    void TextChange(int n);
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();

private:
    tk::Label *resultLabel(int mode) const;

    tk::FormSlot<AboutWindow> m_about;
};

} // namespace ranqor

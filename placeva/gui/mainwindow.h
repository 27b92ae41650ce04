#pragma once
// Placeva's main window: every applicant with average, estimated rank and
// placement band in four lists that move together, the summary figures, the
// change factor, and the buttons to the other windows.

#include "core/lastpass.h"
#include "gui/mainwindowlink.h"
#include "core/store.h"
#include "toolkit.h"

#include <array>

namespace placeva {

class ApplicantEntry;
class ReferenceEntry;
class ChoiceList;

class MainWindow : public tk::Form, public MainWindowLink
{
    Q_OBJECT
public:
    // `folder` holds Bank.db (the program's own folder, or a test's), or is
    // the database file itself.
    explicit MainWindow(const QString &folder, QWidget *parent = nullptr);
    ~MainWindow() override;

    tk::Form &window() override { return *this; }
    QString folder() const override { return m_folder; }
    // Opens another database file, checked as at start. A file that fails is
    // refused with the start's message and the open one stays; true when opened.
    bool openDatabase(const QString &location) override;
    // What the last statistics pass read and computed (the chart, the
    // exports, the report and ChoiceList use it).
    const LastPass &lastPass() const override { return m_pass; }

    // Re-reads both tables and runs the statistics pass, as on activation.
    // False (after telling the user) when a table could not be read.
    bool reread() override;
    void selectApplicant(qsizetype k) override;

    tk::Label *Label1, *Label2, *Label4, *Label14;
    tk::ListBox *List1, *List2, *List4, *List5;
    tk::Label *Label17; // under the lists: the reference rows the estimate left out, and why
    tk::Frame *Frame1;
    tk::Label *Label6, *Label7, *Label8, *Label9, *Label10, *Label11, *Label12, *Label13, *Label15;
    std::array<tk::Label *, 9> lbl{}; // lbl1 .. lbl9 at 0 .. 8
    tk::Label *Label5, *Label3;
    tk::TextBox *Text1;
    tk::Button *Command1, *Command2, *Command3, *Command4, *Command5;
    DataControl Ado1, Ado2;

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void List1_Click();
    void List2_Click();
    void List4_Click();
    void List5_Click();

    ApplicantEntry *form2() const;
    ReferenceEntry *form3() const;
    ChoiceList *form4() const;

protected:
    void formLoad() override;
    void formActivate() override;

private:
    // Refreshes one data control; a failure is told to the user and ends the program.
    void refreshOrEnd(DataControl &control);
    // The caption names the open file.
    void showFileInTitle();
    // Fills the lists and figures from the pass just run.
    void showPass();

    QString m_folder;
    LastPass m_pass;
    tk::FormSlot<ApplicantEntry> m_form2;
    tk::FormSlot<ReferenceEntry> m_form3;
    tk::FormSlot<ChoiceList> m_form4;
};

} // namespace placeva

#pragma once
// Placeva's main window: every applicant with average, estimated rank and
// placement band in four lists that move together, the summary figures, the
// change factor, and the buttons to the other windows.

#include "core/store.h"
#include "core/workspace.h"
#include "toolkit.h"

#include <array>
#include <memory>

namespace placeva {

class ApplicantEntry;
class ReferenceEntry;
class ChoiceList;

class MainWindow : public tk::Form
{
    Q_OBJECT
public:
    // Over the workspace given, which outlives the window.
    explicit MainWindow(Workspace &workspace, QWidget *parent = nullptr);
    // Over a workspace of its own: `folder` holds Bank.db (the program's own
    // folder, or a test's), or is the database file itself.
    explicit MainWindow(const QString &folder, QWidget *parent = nullptr);
    ~MainWindow() override;

    Workspace &workspace() const { return m_ws; }
    // Opens another database file, checked as at start. A file that fails is
    // refused with the start's message and the open one stays; true when opened.
    bool openDatabase(const QString &location);

    // Re-reads both tables and runs the statistics pass, as on activation.
    // False (after telling the user) when a table could not be read.
    bool reread();
    // Brings the window forward and highlights applicant k (in the order of
    // the last pass) in all its lists.
    void selectApplicant(qsizetype k);

    tk::Label *Label1, *Label2, *Label4, *Label14;
    tk::ListBox *List1, *List2, *List4, *List5;
    tk::Label *Label17; // under the lists: the reference rows the estimate left out, and why
    tk::Frame *Frame1;
    tk::Label *Label6, *Label7, *Label8, *Label9, *Label10, *Label11, *Label12, *Label13, *Label15;
    std::array<tk::Label *, 9> lbl{}; // lbl1 .. lbl9 at 0 .. 8
    tk::Label *Label5, *Label3;
    tk::TextBox *Text1;
    tk::Button *Command1, *Command2, *Command3, *Command4, *Command5;
    DataControl &Ado1, &Ado2; // the workspace's record sets

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void List1_Click();
    void List2_Click();
    void List4_Click();
    void List5_Click();

    ApplicantEntry *applicantEntry() const;
    ReferenceEntry *referenceEntry() const;
    ChoiceList *choiceList() const;

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

    std::unique_ptr<Workspace> m_ownWorkspace;
    Workspace &m_ws;
    tk::FormSlot<ApplicantEntry> m_applicantEntry;
    tk::FormSlot<ReferenceEntry> m_referenceEntry;
    tk::FormSlot<ChoiceList> m_choiceList;
};

} // namespace placeva

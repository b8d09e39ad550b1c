#include "Form1.h"

#include "Artwork.h"
#include "MessageBox.h"

#include "db/DbError.h"
#include "db/ODBC.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

// Positions and sizes are laid out in twips; 15 twips make one pixel at 96 dots per inch.
QRect twips(int left, int top, int width, int height)
{
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

QLabel *makeLabel(QWidget *parent, const QString &caption, const QRect &geometry)
{
    auto *label = new QLabel(caption, parent);
    // Fixed in place like every control: a new caption then needs no new layout of the window.
    label->setGeometry(geometry);
    label->setFixedSize(geometry.size());
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setTextFormat(Qt::PlainText);
    return label;
}

// A drop-down combo box with an edit field: entries stay in the order appended, and typing
// neither completes from nor adds to the list.
QComboBox *makeCombo(QWidget *parent, const QRect &geometry)
{
    auto *combo = new QComboBox(parent);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setCompleter(nullptr);
    combo->setMaxVisibleItems(12);
    combo->setGeometry(geometry);
    return combo;
}

QLineEdit *makeTextBox(QWidget *parent, const QString &text, const QRect &geometry)
{
    auto *box = new QLineEdit(text, parent);
    box->setMaxLength(std::numeric_limits<int>::max());
    box->setGeometry(geometry);
    return box;
}

QPushButton *makeButton(QWidget *parent, const QString &caption, const QRect &geometry)
{
    auto *button = new QPushButton(caption, parent);
    button->setAutoDefault(false);
    button->setDefault(false);
    button->setGeometry(geometry);
    return button;
}

// A flag that stays raised only until control is back in the event loop, to tell the signals
// of one user action apart from those of the next.
class MomentFlag : public QObject {
public:
    using QObject::QObject;
    void raise()
    {
        if (std::exchange(m_raised, true))
            return;
        QMetaObject::invokeMethod(
            this, [this] { m_raised = false; }, Qt::QueuedConnection);
    }
    bool isRaised() const { return m_raised; }
    bool take() { return std::exchange(m_raised, false); }

private:
    bool m_raised = false;
};

// Raises its flag when a combo box's edit field finishes an edit: Enter pressed, or the focus
// gone (also when the list opens). QComboBox then selects the entry whose text equals the
// typed text and reports it as picked, though the user picked nothing.
class EditFinishWatch : public MomentFlag {
public:
    explicit EditFinishWatch(QComboBox *combo) : MomentFlag(combo)
    {
        // Keys and focus reach the combo box, which hands them to its edit field; events
        // sent to the edit field itself pass only the second filter.
        combo->installEventFilter(this);
        combo->lineEdit()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        const bool enter = event->type() == QEvent::KeyPress
                           && (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Return
                               || static_cast<QKeyEvent *>(event)->key() == Qt::Key_Enter);
        if (enter || event->type() == QEvent::FocusOut)
            raise();
        return false;
    }
};

}  // namespace

Form1::Form1(QWidget *parent) : QWidget(parent)
{
    setupUi();
    wireEvents();
    Form_Load();
}

Form1::~Form1()
{
    ODBC::DbConn().reset();
}

// The window and its controls with their design-time contents, in the order of the layout.
void Form1::setupUi()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("澄岚N3科目错误修正工具（修复总账和明细账不平的错误）"));
    setWindowIcon(Artwork::applicationIcon());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(6630 / 15, 4275 / 15);
    QPalette background = palette();
    background.setBrush(QPalette::Window, Artwork::backgroundPicture());
    setPalette(background);
    setAutoFillBackground(true);

    Label4 = makeLabel(this, QStringLiteral("请选择帐套"), twips(960, 240, 2415, 375));
    Combo4 = makeCombo(this, twips(2640, 240, 4815, 300));
    Combo4->setEditText(QStringLiteral("帐套编号"));
    Combo4->setVisible(false);
    Combo3 = makeCombo(this, twips(960, 600, 4815, 300));
    Combo3->setEditText(QStringLiteral("选择帐套"));
    Label1 = makeLabel(this, QString(), twips(960, 960, 4575, 375));
    combo3data = makeTextBox(this, QStringLiteral("帐套选择标志"), twips(4320, 1320, 1095, 495));
    combo3data->setVisible(false);
    Label3 = makeLabel(this, QStringLiteral("会计年度"), twips(960, 1560, 1575, 375));
    Combo5 = makeCombo(this, twips(960, 1920, 4815, 300));
    Combo5->addItems({QStringLiteral("2006"), QStringLiteral("2007")});
    Combo5->setCurrentIndex(-1);
    Combo5->setEditText(QString());
    Label5 = makeLabel(this, QStringLiteral("记账不平科目编码"), twips(960, 2640, 1455, 375));
    txtCode = makeTextBox(this, QString(), twips(2520, 2520, 1695, 375));
    Label2 = makeLabel(this, QStringLiteral("月份"), twips(4440, 2640, 615, 255));
    Combo1 = makeCombo(this, twips(5040, 2640, 735, 300));
    Command1 = makeButton(this, QStringLiteral("修正科目错误"), twips(840, 3480, 2175, 495));
    Command2 = makeButton(this, QStringLiteral("彻底根除"), twips(3600, 3480, 2175, 495));

    const std::pair<QWidget *, const char *> names[] = {
        {Label4, "Label4"}, {Combo4, "Combo4"},     {Combo3, "Combo3"},    {Label1, "Label1"},   {combo3data, "combo3data"},
        {Label3, "Label3"}, {Combo5, "Combo5"},     {Label5, "Label5"},    {txtCode, "txtCode"}, {Label2, "Label2"},
        {Combo1, "Combo1"}, {Command1, "Command1"}, {Command2, "Command2"}};
    for (const auto &[widget, name] : names)
        widget->setObjectName(QLatin1String(name));
    // What a screen reader speaks: a button's caption (its default), and for a field the prompt
    // beside it. On Linux an editable combo box gives its text as its name and is announced with
    // the label it is the buddy of, so each prompt is also made the buddy label of its field (no
    // access key: the captions hold no marker). The hidden controls are named for what they hold.
    Label4->setBuddy(Combo3);
    Label3->setBuddy(Combo5);
    Label5->setBuddy(txtCode);
    Label2->setBuddy(Combo1);
    Combo3->setAccessibleName(Label4->text());
    Combo5->setAccessibleName(Label3->text());
    txtCode->setAccessibleName(Label5->text());
    Combo1->setAccessibleName(Label2->text());
    Combo4->setAccessibleName(QStringLiteral("帐套编号"));
    combo3data->setAccessibleName(QStringLiteral("帐套选择标志"));

    // Focus order: Combo5, Combo3, Command1, txtCode, Combo1, Command2, and round again.
    // Labels and the hidden controls never take the focus.
    QWidget::setTabOrder(Combo5, Combo3);
    QWidget::setTabOrder(Combo3, Command1);
    QWidget::setTabOrder(Command1, txtCode);
    QWidget::setTabOrder(txtCode, Combo1);
    QWidget::setTabOrder(Combo1, Command2);
    Combo4->setFocusPolicy(Qt::NoFocus);
    combo3data->setFocusPolicy(Qt::NoFocus);
    Combo5->setFocus();

    m_walkLock = new WalkLock({Command1, Command2, Combo3}, this);
}

// Five events start behaviour: the load (run by the constructor), a change of Combo3's text,
// a pick from Combo3's list, and the two buttons. While an end-flag walk runs, the others are
// refused.
void Form1::wireEvents()
{
    // Picking an entry whose text differs from the edit text changes the text first (and so
    // runs the change handler) and then reports the pick: the pick then runs nothing more.
    // The flag is raised once the work is done: a message box it showed ran an event loop of its
    // own, which would have cleared a flag raised before, ahead of the pick's own report.
    auto *textChanged = new MomentFlag(this);
    connect(Combo3, &QComboBox::editTextChanged, this, [this, textChanged] {
        if (m_walkLock->active())
            return;
        reportingFailures(QStringLiteral("读取会计年度"), [this] { Combo3_Change(); });
        textChanged->raise();
    });
    // Enter or leaving the edit field after typing an entry's exact text is reported as a
    // pick too; it changes nothing and must not run the work again.
    const auto *editFinish = new EditFinishWatch(Combo3);
    connect(Combo3, qOverload<int>(&QComboBox::activated), this, [this, textChanged, editFinish] {
        if (m_walkLock->active() || textChanged->take() || editFinish->isRaised())
            return;
        reportingFailures(QStringLiteral("读取会计年度"), [this] { Combo3_Click(); });
    });
    connect(Command1, &QPushButton::clicked, this, [this] {
        if (!m_walkLock->active())
            Command1_Click();
    });
    connect(Command2, &QPushButton::clicked, this, [this] {
        if (!m_walkLock->active())
            Command2_Click();
    });
}

void Form1::reportingFailures(const QString &action, const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const db::DbError &error) {
        MessageBox::show(action + QStringLiteral("时出错：\r\n") + error.description(), MessageBox::Icon::Critical);
    }
}

void Form1::Combo3_Click()
{
    Combo3_Change();
}

// Closing the window while a walk runs stops the walk after the row in hand; the window then
// closes as soon as the walk has returned.
void Form1::closeEvent(QCloseEvent *event)
{
    if (m_walkLock->active()) {
        m_walkLock->setCloseRequested();
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

#include "ui/form1.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <utility>

#include <QAction>
#include <QCloseEvent>
#include <QGraphicsOpacityEffect>
#include <QPromise>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>

#include "conversion/sheet.h"
#include "conversion/workbench.h"
#include "intake/slot_intake.h"
#include "output/page_layout.h"
#include "picture/picture_formats.h"
#include "surface/program_title.h"
#include "ui/decoration.h"
#include "ui/end_program.h"
#include "ui/form2.h"
#include "ui/form4.h"
#include "ui/picture_box.h"
#include "ui/slot_preview.h"
#include "ui/program_state.h"
#include "ui/qt_platform_services.h"
#include "ui/window_look.h"

namespace hakomiru {

namespace {

// Open buttons, previews and slot captions as designed, in twips. Slots 2..4 lie below the
// window's bottom edge and stay hidden.
constexpr std::array<TwipsRect, 6> openButtonPlaces = {{{600, 120, 1575, 375},
                                                        {2880, 120, 1575, 375},
                                                        {7560, 3840, 1575, 375},
                                                        {600, 3840, 1575, 375},
                                                        {2880, 3840, 1575, 375},
                                                        {5160, 120, 1575, 375}}};
constexpr std::array<TwipsRect, 6> previewPlaces = {{{360, 600, 2175, 2175},
                                                     {2640, 600, 2175, 2175},
                                                     {7320, 4320, 2175, 2175},
                                                     {360, 4320, 2175, 2175},
                                                     {2640, 4320, 2175, 2175},
                                                     {4920, 600, 2175, 2175}}};

struct Caption
{
    int index;
    const char16_t* text;
    TwipsRect place;
    bool shown;
};
// The slot captions are decoration; their indexes do not follow the slots.
constexpr std::array<Caption, 6> slotCaptions = {{{0, u"絵A", {840, 2880, 1215, 255}, true},
                                                  {2, u"絵B", {3120, 2880, 1215, 255}, true},
                                                  {5, u"絵C", {5400, 2880, 1215, 255}, true},
                                                  {1, u"絵3", {7800, 6600, 1215, 255}, false},
                                                  {3, u"絵4", {840, 6600, 1215, 255}, false},
                                                  {7, u"絵5", {3120, 6600, 1215, 255}, false}}};

constexpr std::array<const char16_t*, 6> openButtonCaptions = {
    u"絵Aを開く", u"絵Bを開く", u"絵３を開く", u"絵４を開く", u"絵５を開く", u"絵Cを開く"};

// The source boxes as designed (401 x 489 pixels, beyond the right edge of the window); the
// workbench has those of the slots square. The boxes made square from their heights are the sizes
// the conversion is known by.
constexpr TwipsRect sourceBoxPlace = {11040, 0, 6015, 7335};
static_assert(twipsToPixels(sourceBoxPlace.height) == sourceBoxSide);
static_assert(twipsToPixels(sourceBoxPlace.width) == unusedSourceBoxSize.width());
static_assert(twipsToPixels(previewPlaces[0].height) == previewBoxSide);

// The one-second wait between the convert button and the conversion, never shorter.
constexpr std::chrono::milliseconds conversionDelay{1000};

const QString promptText = QStringLiteral("絵を開いてください");
const QString waitText = QStringLiteral("ちょっと待ってね");

// The client area: draws a thin outline just outside each shown preview, so that an empty slot
// can be seen, and the focus frame of the preview with the focus. The outlines are outside the
// box, so the box keeps all its pixels.
class SlotArea : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        for (const PictureBox* box : findChildren<PictureBox*>(Qt::FindDirectChildrenOnly)) {
            if (!box->isVisibleTo(this))
                continue;
            painter.setPen(palette().color(QPalette::Mid));
            painter.drawRect(box->geometry().adjusted(-1, -1, 0, 0));
            // The preview with the focus gets a second, highlighted outline around the first.
            if (box->hasFocus()) {
                painter.setPen(palette().color(QPalette::Highlight));
                painter.drawRect(box->geometry().adjusted(-2, -2, 1, 1));
                painter.drawRect(box->geometry().adjusted(-3, -3, 2, 2));
            }
        }
    }
};

} // namespace

OpenDialogSetup pictureOpenDialogSetup()
{
    // The first entry lists "*gif" without its dot; that is how the user has always seen it. The
    // patterns themselves are the real ones, plus the other common JPEG ending. The second lists
    // every kind of picture the program reads, and is the one selected: with the first, a folder
    // of a phone's HEIC, PNG or WebP pictures would look empty.
    const QStringList all = pictureFilePatterns();
    return {QStringLiteral("絵ファイル(*.bmp,*.jpg,*gif)"),
            {QStringLiteral("*.bmp"), QStringLiteral("*.jpg"), QStringLiteral("*.gif"),
             QStringLiteral("*.jpeg")},
            {{QStringLiteral("すべての絵 (%1)").arg(all.join(QLatin1Char(' '))), all}},
            1};
}

Form1::Form1(ProgramState& state, Workbench& workbench, PlatformServices& services, QWidget* parent)
    : QMainWindow(parent), m_state(state), m_workbench(workbench), m_services(services)
{
    setWindowTitle(programTitle);
    buildControls();
    buildMenus();
    openFirstMenuWithF10(this);
    Form_Load();
    adjustSize();
    centreOnScreen(this);
}

Form1::~Form1() = default;

void Form1::buildControls()
{
    auto* area = new SlotArea(this);
    area->setFixedSize(clientSize);
    setCentralWidget(area);

    // Label1 is made before the convert button, so the button lies above it and hides its text
    // while both are shown.
    m_label1 = new QLabel(area);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->setGeometry(twipsToPixels({3840, 4080, 1935, 255}));
    QPalette blue = m_label1->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    m_label1->setPalette(blue);

    m_command1 = new QPushButton(QStringLiteral("変換"), area);
    m_command1->setObjectName(QStringLiteral("Command1_0"));
    m_command1->setGeometry(twipsToPixels({3360, 3840, 2535, 735}));
    setFaceColor(m_command1, goFace);
    connect(m_command1, &QPushButton::clicked, this, &Form1::Command1_Click);

    m_image2 = new QLabel(area);
    m_image2->setObjectName(QStringLiteral("Image2"));
    m_image2->setGeometry(twipsToPixels({6240, 3840, 750, 750}));
    m_image2->setPixmap(QPixmap::fromImage(decorationPicture()));

    for (int i = 0; i < 6; ++i) {
        auto* button =
            new QPushButton(QString::fromUtf16(openButtonCaptions[std::size_t(i)]), area);
        button->setObjectName(QStringLiteral("Command2_%1").arg(i));
        button->setGeometry(twipsToPixels(openButtonPlaces[std::size_t(i)]));
        setFaceColor(button, openFace);
        connect(button, &QPushButton::clicked, this, [this, i] { Command2_Click(i); });
        m_command2[std::size_t(i)] = button;

        const QRect place = twipsToPixels(previewPlaces[std::size_t(i)]);
        auto* preview = new SlotPreview(m_workbench, i, area);
        Q_ASSERT(preview->size() == place.size());
        preview->setObjectName(QStringLiteral("Picture4_%1").arg(i));
        preview->move(place.topLeft());
        preview->acceptDroppedData(acceptsDrop,
                                   [this, i](const QMimeData& data) { dropOnSlot(i, data); });
        m_picture4[std::size_t(i)] = preview;
        button->setVisible(false);
        preview->setVisible(false);
    }
    for (const VisibleSlot& slot : visibleSlots) {
        PictureBox* preview = m_picture4[std::size_t(slot.index)];
        m_command2[std::size_t(slot.index)]->setVisible(true);
        preview->setVisible(true);
        connect(preview, &PictureBox::mousePressed, this,
                [this, slot](Qt::MouseButton pressed) { ConfirmPaste(slot, pressed); });
    }

    for (const Caption& caption : slotCaptions) {
        auto* label = new QLabel(QString::fromUtf16(caption.text), area);
        label->setObjectName(QStringLiteral("Label2_%1").arg(caption.index));
        label->setGeometry(twipsToPixels(caption.place));
        label->setAlignment(Qt::AlignCenter);
        label->setVisible(caption.shown);
        m_label2[std::size_t(caption.index)] = label;
    }

    m_timer1.setObjectName(QStringLiteral("Timer1"));
    m_timer1.setSingleShot(true);
    // A coarse timer may fire up to 5 % early; the wait is never shorter than promised.
    m_timer1.setTimerType(Qt::PreciseTimer);
    connect(&m_timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    // Two reads at a time: a new open never waits behind a long read, and reads no one waits for
    // any more (a later open won) take at most one more picture's memory.
    m_readers.setMaxThreadCount(2);

    // The convert button comes first when the user tabs through the window, then each slot's
    // open button and its preview (which takes the focus only while it holds a picture).
    QWidget* previous = m_command1;
    for (const VisibleSlot& slot : visibleSlots) {
        setTabOrder(previous, m_command2[std::size_t(slot.index)]);
        setTabOrder(m_command2[std::size_t(slot.index)], m_picture4[std::size_t(slot.index)]);
        previous = m_picture4[std::size_t(slot.index)];
    }
    m_command1->setFocus();
}

void Form1::buildMenus()
{
    auto addMenu = [this](const char16_t* name, const char16_t* title) {
        QMenu* menu = menuBar()->addMenu(QString::fromUtf16(title));
        menu->setObjectName(QString::fromUtf16(name));
        return menu;
    };
    auto addItem = [](QMenu* menu, const QString& name, const QString& text) {
        QAction* action = menu->addAction(text);
        action->setObjectName(name);
        return action;
    };

    // The items of a slot are named by its number in the paste question: menuopen6 for 絵C.
    QMenu* file = addMenu(u"mnufile", u"ファイル");
    for (const VisibleSlot& slot : visibleSlots)
        connect(addItem(file, QStringLiteral("menuopen%1").arg(slot.pasteNumber),
                        QStringLiteral("絵%1を開く").arg(slot.letter)),
                &QAction::triggered, this, [this, slot] { menuopen_Click(slot.index); });

    QMenu* edit = addMenu(u"mnuhenshu", u"へんしゅう");
    for (const VisibleSlot& slot : visibleSlots)
        connect(addItem(edit, QStringLiteral("mnupaste%1").arg(slot.pasteNumber),
                        QStringLiteral("絵%1にはりつけ").arg(slot.letter)),
                &QAction::triggered, this, [this, slot] { mnupaste_Click(slot.index); });

    QMenu* settings = addMenu(u"mnuset", u"せってい");
    connect(addItem(settings, QStringLiteral("mnuookisa"), QStringLiteral("絵のサイズ")),
            &QAction::triggered, this, &Form1::mnuookisa_Click);
}

void Form1::Form_Load()
{
    // 1. The result window, hidden. Its canvas, the workbench's, is already sized from the piece
    //    boxes (1702 x 1302).
    m_form2 = std::make_unique<Form2>(m_state, m_workbench, m_services);
    connect(m_form2.get(), &Form2::backRequested, this, [this] { showLook(Look::Back); });

    // 2. The picture-size dialog, hidden, with its first option marked (which stores fitMode 0).
    loadForm4();
    m_form4->Option1(0)->setChecked(true);

    // 3., 4.
    m_state.fitMode = 0;
    m_state.paperSize = defaultPaperSize;

    // 5. The workbench has every preview and source box square; the loop over the slots leaves
    //    currentSlot at the last one, 5.
    m_state.currentSlot = static_cast<std::int16_t>(slotCount - 1);

    // 6., 7.
    showLook(Look::Prompt);
}

void Form1::loadForm4()
{
    m_form4 = new Form4(m_state, this);
    connect(m_form4, &Form4::unloaded, this, [this] { m_form4.clear(); });
}

Form4* Form1::form4() const
{
    return m_form4.data();
}

QPushButton* Form1::Command2(int index) const
{
    Q_ASSERT(index >= 0 && index < int(m_command2.size()));
    return index >= 0 && index < int(m_command2.size()) ? m_command2[std::size_t(index)] : nullptr;
}

SlotPreview* Form1::Picture4(int index) const
{
    Q_ASSERT(index >= 0 && index < int(m_picture4.size()));
    return index >= 0 && index < int(m_picture4.size()) ? m_picture4[std::size_t(index)] : nullptr;
}

QLabel* Form1::Label2(int index) const
{
    QLabel* label =
        index >= 0 && index < int(m_label2.size()) ? m_label2[std::size_t(index)] : nullptr;
    Q_ASSERT(label != nullptr);
    return label;
}

QPushButton* Form1::Command1(int index) const
{
    Q_ASSERT(index == 0);
    return index == 0 ? m_command1 : nullptr;
}

Surface& Form1::Picture2(int index)
{
    Q_ASSERT(index >= 0 && index < sourceBoxCount);
    return m_workbench.sourceBox(index);
}

bool Form1::slotInUse(int slot) const
{
    return slot >= 0 && slot < slotCount;
}

void Form1::closeEvent(QCloseEvent* event)
{
    event->accept();
    endProgram();
}

void Form1::Command2_Click(int index)
{
    if (index < 0 || index > 7)
        return;
    m_state.currentSlot = static_cast<std::int16_t>(index);
    OpenPictureFile();
}

void Form1::menuopen_Click(int slot)
{
    m_state.currentSlot = static_cast<std::int16_t>(slot);
    OpenPictureFile();
}

void Form1::mnupaste_Click(int slot)
{
    m_state.currentSlot = static_cast<std::int16_t>(slot);
    PasteClipboardPicture();
}

void Form1::mnuookisa_Click()
{
    // The dialog is re-created, in its designed state, after its close box unloaded it.
    if (m_form4.isNull())
        loadForm4();
    m_form4->show();
    m_form4->raise();
    m_form4->activateWindow();
}

void Form1::ConfirmPaste(const VisibleSlot& slot, Qt::MouseButton button)
{
    if (button != Qt::RightButton)
        return;
    m_state.currentSlot = static_cast<std::int16_t>(slot.index);
    const QString question =
        QStringLiteral("クリップボードの内容を　絵%1にはりつけていいですか").arg(slot.pasteNumber);
    if (!m_services.askOkCancel(this, QStringLiteral("確認"), question))
        return;
    PasteClipboardPicture();
}

void Form1::OpenPictureFile()
{
    if (!slotInUse(m_state.currentSlot))
        return;
    const std::optional<QString> chosen = m_services.chooseOpenFile(this, pictureOpenDialogSetup());
    if (!chosen)
        return;
    openChosenFile(*chosen);
}

void Form1::openChosenFile(const QString& path)
{
    m_state.fileName = path;
    LoadPictureIntoSlot();
}

void Form1::LoadPictureIntoSlot()
{
    const int slot = m_state.currentSlot;
    clearForNewPicture(slot);
    readIntoSlot(slot, [&services = m_services, path = m_state.fileName,
                        plan = m_workbench.readPlan(slot, m_state.fitMode)] {
        return services.readSlotPicture(path, plan);
    });
}

void Form1::PasteClipboardPicture()
{
    pastePicture([this] { return m_services.clipboardPicture(); });
}

void Form1::pastePicture(const std::function<std::optional<OfferedPicture>()>& pasted)
{
    const int slot = m_state.currentSlot;
    if (!slotInUse(slot))
        return;
    clearForNewPicture(slot);
    const std::optional<OfferedPicture> offered = pasted();
    if (!offered)
        return;
    // The offered bytes are decoded on the reading thread too: a large screenshot or photo never
    // holds up the window.
    readIntoSlot(slot,
                 [offered = *offered,
                  plan = m_workbench.readPlan(slot, m_state.fitMode, true)]() -> SlotReading {
                     const std::optional<QImage> picture = readOfferedPicture(offered);
                     if (!picture)
                         return Failure{QStringLiteral("there is no picture to paste")};
                     return readPastedPicture(*picture, plan);
                 });
}

bool Form1::readingSlot(int slot) const
{
    return slotInUse(slot) && m_reads.at(std::size_t(slot)) != nullptr;
}

bool Form1::reading() const
{
    return std::any_of(m_reads.begin(), m_reads.end(), [](auto* read) { return read != nullptr; });
}

void Form1::clearForNewPicture(int slot)
{
    if (QFutureWatcher<SlotReading>* earlier =
            std::exchange(m_reads.at(std::size_t(slot)), nullptr)) {
        // Its picture is never placed; the read itself ends on its thread, unheard.
        earlier->disconnect(this);
        earlier->deleteLater();
        showWaiting(slot, false);
    }
    m_workbench.clearSlot(slot);
    Picture4(slot)->refresh();
}

void Form1::readIntoSlot(int slot, std::function<SlotReading()> read)
{
    auto* watcher = new QFutureWatcher<SlotReading>(this);
    m_reads.at(std::size_t(slot)) = watcher;
    connect(watcher, &QFutureWatcherBase::finished, this, [this, slot] { readEnded(slot); });
    showWaiting(slot, true);
    // This runs on a reading thread: the read touches nothing of the window or the workbench.
    auto promise = std::make_shared<QPromise<SlotReading>>();
    watcher->setFuture(promise->future());
    promise->start();
    m_readers.start([promise, read = std::move(read)] {
        promise->addResult(read());
        promise->finish();
    });
}

void Form1::readEnded(int slot)
{
    QFutureWatcher<SlotReading>* watcher = std::exchange(m_reads.at(std::size_t(slot)), nullptr);
    if (watcher == nullptr)
        return;
    watcher->deleteLater();
    showWaiting(slot, false);
    const SlotReading read = watcher->result();
    if (read) {
        m_workbench.place(slot, read.value());
        Picture4(slot)->refresh();
    }
    if (m_convertAfterReads) {
        if (!reading())
            convertSheet();
    } else if (read) {
        showLook(Look::Ready);
    }
}

void Form1::showWaiting(int slot, bool waiting)
{
    // A busy cursor over the slot, and the slot faded, while its picture is read.
    SlotPreview* preview = Picture4(slot);
    if (waiting) {
        preview->setCursor(Qt::BusyCursor);
        auto* faded = new QGraphicsOpacityEffect(preview);
        faded->setOpacity(0.5);
        preview->setGraphicsEffect(faded);
    } else {
        preview->unsetCursor();
        preview->setGraphicsEffect(nullptr);
    }
}

bool Form1::acceptsDrop(const QMimeData& data)
{
    return pictureFileFromMimeData(&data) || offersPictureData(&data);
}

void Form1::dropOnSlot(int index, const QMimeData& data)
{
    if (!slotInUse(index))
        return;
    // A picture file is opened as if chosen in the slot's open dialog.
    if (const std::optional<QString> path = pictureFileFromMimeData(&data)) {
        m_state.currentSlot = static_cast<std::int16_t>(index);
        openChosenFile(*path);
        return;
    }
    // Picture data is pasted without the question. Data that does not hold a picture changes
    // nothing, not even the current slot; a picture whose headers are sound but whose pixels turn
    // out damaged as it is decoded leaves the slot cleared, as a paste of it does.
    const std::optional<OfferedPicture> offered = offeredPicture(&data);
    if (!offered)
        return;
    m_state.currentSlot = static_cast<std::int16_t>(index);
    pastePicture([&offered] { return offered; });
}

void Form1::showLook(Look look)
{
    const bool prompt = look == Look::Prompt || look == Look::Back;
    m_label1->setText(prompt ? promptText : waitText);
    m_label1->setVisible(look != Look::Ready);
    m_command1->setVisible(look == Look::Ready || look == Look::Back);
    if (look == Look::Back) {
        show();
        raise();
        activateWindow();
    }
}

void Form1::Command1_Click()
{
    showLook(Look::Waiting);
    // The conversion blocks the window for a moment; the delay lets the waiting text show first.
    m_timer1.start(conversionDelay);
}

void Form1::Timer1_Timer()
{
    m_timer1.stop();
    // The conversion takes the slots as they stand once the reads going on have ended.
    if (reading()) {
        m_convertAfterReads = true;
        return;
    }
    convertSheet();
}

void Form1::convertSheet()
{
    m_convertAfterReads = false;
    m_workbench.convert();
    m_form2->showResult();
}

} // namespace hakomiru

#pragma once

#include "core/config/ConfigModels.h"
#include "ui/sheets/SheetView.h"

#include <QCoro/QCoroTask>

#include <functional>
#include <vector>

class QAbstractButton;
class QCheckBox;
class QScrollArea;
class QSpinBox;

namespace tarn {

class AppState;
class SettingsSideItem;

// The application's settings and accounts in one panel: a list of categories on the
// left, the chosen page on the right, and OK. Every change is applied and saved at
// once through the state; there is nothing to save or cancel. A page is built anew
// each time it is chosen and shows the state of that moment.
class SettingsSheet : public SheetView {
    Q_OBJECT

public:
    enum class Page { general, accounts, transfer, advanced, about };
    static constexpr int pageCount = 5;

    static constexpr int sheetWidth = 660;
    static constexpr int sheetHeight = 450;
    static constexpr int sideItemWidth = 168;
    static constexpr int rowWidth = 380;

    SettingsSheet(AppState& state, std::function<void()> onClose, QWidget* parent = nullptr);

    void select(Page page);
    Page currentPage() const { return m_page; }
    // The page shown now.
    QWidget* page() const;

    const std::vector<SettingsSideItem*>& sideItems() const { return m_sideItems; }
    QPushButton* okButton() const { return m_okButton; }
    // Kept across page changes while the sheet is open.
    QSpinBox* previewStepper() const { return m_previewStepper; }
    QSpinBox* partStepper() const { return m_partStepper; }

    QSize sizeHint() const override;

private:
    QWidget* makePage(Page page);
    QWidget* generalPage();
    QWidget* accountsPage();
    QWidget* accountRow(const StorageProfile& profile, QWidget* parent);
    QWidget* transferPage();
    QWidget* advancedPage();
    QWidget* aboutPage();
    QWidget* labeledRow(const QString& title, QWidget* control, QWidget* parent);
    QPushButton* pageButton(const QString& title, std::function<void()> action, QWidget* parent);
    void configureSteppers();
    void previewLimitChanged();
    void partSizeChanged();
    void closeClicked();

    static QCoro::Task<> deleteProfile(QPointer<SettingsSheet> sheet, QPointer<AppState> state,
                                       StorageProfile profile);

    AppState& m_state;
    std::function<void()> m_onClose;
    Page m_page = Page::general;
    std::vector<SettingsSideItem*> m_sideItems;
    QScrollArea* m_content = nullptr;
    QPushButton* m_okButton = nullptr;
    QSpinBox* m_previewStepper = nullptr;
    QSpinBox* m_partStepper = nullptr;
};

}  // namespace tarn

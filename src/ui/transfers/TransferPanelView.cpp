#include "ui/transfers/TransferPanelView.h"

#include "app/text/L10n.h"
#include "ui/theme/TarnTheme.h"
#include "ui/transfers/TransferListView.h"
#include "ui/transfers/TransferPanelModel.h"
#include "ui/views/ClosureButton.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>

namespace tarn {

TransferPanelView::TransferPanelView(TransferCenter& center, QWidget* parent)
    : TintedBlurView(TintedBlurView::paneTintAlpha, parent)
    , m_model(new TransferPanelModel(center, this))
    , m_list(new TransferListView(this))
{
    m_clearButton = new ClosureButton(L10n::t(QStringLiteral("clear_finished")),
                                      [model = QPointer<TransferPanelModel>(m_model)] {
                                          if (model) {
                                              model->clearFinished();
                                          }
                                      },
                                      this);
    m_clearButton->setFont(TarnTheme::font(11));
    m_clearButton->setFocusPolicy(Qt::NoFocus);
    // Hidden, it keeps its place: the list does not move up and down as the first
    // task finishes and the last finished one is cleared.
    QSizePolicy keepPlace = m_clearButton->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    m_clearButton->setSizePolicy(keepPlace);

    m_list->setModel(m_model);

    m_emptyLabel = new QLabel(L10n::t(QStringLiteral("transfers_empty")), this);
    m_emptyLabel->setFont(TarnTheme::font(13));
    m_emptyLabel->setAlignment(Qt::AlignCenter);
    m_emptyLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    QPalette quiet = m_emptyLabel->palette();
    quiet.setColor(QPalette::WindowText, TarnTheme::color(ThemeColor::secondaryLabel));
    m_emptyLabel->setPalette(quiet);

    auto* top = new QHBoxLayout();
    top->setContentsMargins(0, 10, 14, 0);
    top->addStretch();
    top->addWidget(m_clearButton);

    // The empty text lies over the list, centred on it.
    auto* body = new QGridLayout();
    body->setContentsMargins(0, 0, 0, 0);
    body->addWidget(m_list, 0, 0);
    body->addWidget(m_emptyLabel, 0, 0, Qt::AlignCenter);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addLayout(top);
    layout->addLayout(body, 1);

    connect(m_model, &TransferPanelModel::refreshed, this, &TransferPanelView::showState);
    showState();
}

void TransferPanelView::showState()
{
    // Hidden while every task is still active (and when there is none): there is
    // nothing to clear.
    m_clearButton->setVisible(m_model->hasFinishedTasks());
    m_emptyLabel->setVisible(!m_model->hasTasks());
}

}  // namespace tarn

#pragma once

#include <QDialog>
#include <map>
#include <memory>

#include "decode/decode_request.h"
#include "decode/decoder_catalog.h"
#include "panels/decoder_stack_draft.h"

class QComboBox;
class QDialogButtonBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QScrollArea;
class QTreeWidget;

// Builds one decoder stack from the catalogue: a decoder that reads channels,
// its inputs and options, and the decoders stacked on it with their options.
// The stack being edited lives in a DecoderStackDraft; the widgets show one
// part of it at a time (the options of the decoder selected in the stack).
class AddDecoderDialog : public QDialog {
    Q_OBJECT
public:
    explicit AddDecoderDialog(std::shared_ptr<const DecoderCatalog> catalog, QWidget *parent = nullptr);
    // Fills the dialog with an existing stack, for "Edit" (bottom decoder
    // selected, its channels and options, the stacked decoders with theirs).
    // What the catalogue does not know is left out and reported in the dialog.
    void setStack(const DecoderStack &stack);
    // The stack as the dialog now describes it, options converted to their
    // types; only options that differ from the default are set. Valid when
    // canAccept().
    DecoderStack stack() const;
    // A decoder chosen, every required channel mapped, every option value
    // valid, stack valid.
    bool canAccept() const;
    // Why not (shown in the dialog), empty when canAccept().
    QString problem() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *makeCatalogSide();
    QWidget *makeStackSide();
    void fillCatalogList();
    void filterCatalogList();
    void chooseFirstMatch();
    void chooseBottomDecoder(const DecoderInfo *decoder);
    void stackSelected();
    void unstackTop();
    // Shows the whole stack anew, with the options of `level`.
    void showDecoders(int level);
    void showLevel(int level);
    void showChosenDecoder();
    void showChannels();
    void showStack();
    void showOptions();
    void refreshState();

    DecoderStackDraft draft_;
    int shownLevel_ = -1; // whose options the form shows
    QString loadNote_;    // what setStack could not take over

    QLineEdit *search_;
    QTreeWidget *catalogList_;
    QLabel *decoderText_;
    QLabel *folderNote_;
    QScrollArea *channelArea_;
    QListWidget *stackList_;
    QComboBox *stackCandidates_;
    QPushButton *stackButton_;
    QPushButton *unstackButton_;
    QGroupBox *optionsBox_;
    QScrollArea *optionArea_;
    std::map<QString, QWidget *> optionFields_; // of the level shown
    QLabel *note_;
    QLabel *problem_;
    QDialogButtonBox *buttons_;
};

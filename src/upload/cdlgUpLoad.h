#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class cdlgUpLoad;
}
class CDataUpLoadThread;
class FocusGrid;
class KeypadEdits;
class QLineEdit;

/// The normal upload: the operator checks or edits the upload identity, the
/// position and the server, and OK sends the current record. A failed upload
/// stays where it stopped and OK resumes it on a fresh connection.
class cdlgUpLoad : public QDialog
{
    Q_OBJECT

public:
    explicit cdlgUpLoad(QWidget *parent = nullptr);
    /// Waits for the worker before its copy of the record goes.
    ~cdlgUpLoad() override;

    bool IsUploading() const { return m_uploading; }

signals:
    void signalAbortUpLoad();

public slots:
    void on_btnProfileNum_clicked();
    void on_btnSerialNum_clicked();
    void on_btnIMNum_clicked();
    void on_BtnOK_clicked();
    void on_BtnCancel_clicked();
    void HandleTagCount(int count);
    void HandleOneTagProcessed(int value);
    void HandleTranslateException(int tagType, int chnn, int tagnum, int iException);
    void HandleSetWarnning(const QString &text);
    void HandleUpLoadFinish();
    /// Closing while uploading ends the upload first.
    void reject() override;

private:
    void SetInputsEnabled(bool enabled);
    /// A report from a worker this dialog no longer follows.
    bool FromOtherWorker() const;
    void RefreshFields();
    void EditText(const QString &title, QString &field);
    void EditNumber(QLineEdit *edit, const QString &title, int decimals, float minimum, float maximum,
                    float stored, const std::function<void(float)> &store);

    std::unique_ptr<Ui::cdlgUpLoad> ui;
    std::unique_ptr<CDataUpLoadThread> m_worker;
    KeypadEdits *m_edits = nullptr;
    FocusGrid *m_grid = nullptr;
    bool m_uploading = false;
    bool m_inputsEnabled = true;
    bool m_closing = false;
    bool m_starting = false; // OK is in its pause before the worker starts
    bool m_rejected = false;
};

#pragma once

#include <QObject>
#include <QStringList>

#include <QHash>

#include <functional>
#include <memory>

class CliPrompts;
class ListViewModel;
class TConvertDriver;
class QTimer;
class TDownloadEngine;
class TMessageQueue;

// Downloads links with the program's engine and shows them in the terminal: a live table
// when the output is a terminal, plain lines otherwise. Ends the event loop when every job
// has ended, conversions of YouTube downloads included; Ctrl+C stops the running jobs as
// the Stop command does, and the conversions as the window's close does.
class TCliDownloader : public QObject
{
    Q_OBJECT

public:
    explicit TCliDownloader(bool liveTable, QObject* parent = nullptr);
    ~TCliDownloader() override;

    // Adds the links that pass the add-links rules; returns how many were added. Rejected
    // ones are reported on stderr.
    int Add(const QStringList& links);
    // Starts the jobs; the event loop quits with the exit code once all have ended.
    void Start();
    // Ctrl+C: stop everything that runs or waits.
    void Interrupt();

    int ExitCode() const { return m_exitCode; }
    int LiveWorkers() const;

    // The engine, its message queue and its download list, for jobs that others queue
    // (checks of followed users); the table shows them like the links given here.
    TDownloadEngine& Engine() { return *m_engine; }
    TMessageQueue& Gui() { return *m_gui; }
    ListViewModel& List() { return *m_list; }
    // While busy() holds, the run does not end even when no job waits.
    void SetBusy(std::function<bool()> busy) { m_busy = std::move(busy); }
    // A line printed above the live table (or among the plain lines), its control
    // characters made harmless.
    void Note(const QString& line);

private:
    void tick();
    // Ends the run once no job runs or waits, no conversion runs and busy() is over.
    void endWhenDone();
    void draw(bool final);
    void printChanges();
    void finish();
    // The link a job was given.
    QString linkOf(int id) const;

    bool m_live;
    std::unique_ptr<TMessageQueue> m_gui;
    std::unique_ptr<ListViewModel> m_list;
    std::unique_ptr<TDownloadEngine> m_engine;
    std::unique_ptr<CliPrompts> m_prompts;
    std::unique_ptr<TConvertDriver> m_converter;
    std::unique_ptr<QTimer> m_timer;
    QStringList m_links;                // by job id - 1
    QHash<int, QString> m_lastReported; // plain mode: last line printed per job
    std::function<bool()> m_busy;
    int m_drawnLines = 0;
    bool m_interrupted = false;
    bool m_finished = false;
    int m_exitCode = 0;
};

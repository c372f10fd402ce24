#pragma once

#include <QString>

#include <memory>

class THttpCli;
class TDownloadJobs;
class TOutputFile;
struct TRequestFailure;
struct TWorkerContext;

// Site of a job's link.
enum TWebsite : int
{
    WEBSITE_OTHER = 0,
    WEBSITE_SOUNDCLOUD = 1,
    WEBSITE_YOUTUBE = 2,
};

// Downloads one job on a thread of its own: the page phase fetches the link and finds the
// stream and the track name in it, the media phase fetches the stream into a working file,
// and the completion names the file and frees the slot.
class TDownloadThread
{
public:
    // Starts the worker for a job in a slot on a detached thread; it frees itself.
    static void Start(TWorkerContext& context, int jobId, int slot);

    TDownloadThread(TWorkerContext& context, int jobId, int slot);
    ~TDownloadThread();

    void Execute();
    // The job's end: final name or clean-up, then the slot is freed and the next job starts.
    void Complete();

    // Site of a link, from the configured host names followed by "/".
    static TWebsite DetectWebsite(const QString& link);

    int m_GetData = 0;
    QString m_MediaName;
    int m_WebsiteID = WEBSITE_OTHER;
    int m_JobArrayID;
    int m_DownloadThrdID;

private:
    // Judges each response once its header is complete: status and framing as the client
    // read them.
    void HttpCliHeaderEnd(THttpCli& client);
    void HttpCliDocData(THttpCli& client, int len);
    // Ends the request from a handler because the reply cannot give the job what it needs.
    void RefuseReply(THttpCli& client, const QString& reason);
    bool ParseSoundCloudPage();
    // The watch page's title names the working file; its stream map gives the stream. The
    // page file is deleted whatever the outcome; false (or no usable title) ends the job.
    bool ParseYouTubePage();
    // Creates the file of this pass; false (with m_endReason) when it cannot be created.
    bool PrepareTarget(std::unique_ptr<TOutputFile>& file, QString& path);
    // Creates path in the engine's folders, never over an existing name: taken when the
    // name is in use, otherwise nullptr is a failure and m_endReason says why.
    std::unique_ptr<TOutputFile> CreateTarget(const QString& path, bool& taken);
    // The working file's unique name, created as file; empty when none could be created.
    QString ChooseWorkingFile(const QString& path, std::unique_ptr<TOutputFile>& file);
    // This engine's own folder below Temp, and the job's page file in it.
    QString TempFolder() const;
    QString PageFile() const;
    void SetStopped();
    // Why the job ends now that it did not finish (t_EndReason).
    QString EndReason() const;
    // What a request that did not give the job what it needs says about why.
    QString RequestEnd(const THttpCli& client, const TRequestFailure& failure) const;
    // Stopped, and the file of the pass that failed removed.
    void EndStopped(const QString& written);

    TWorkerContext& m_context;
    TDownloadJobs& m_job;
    QString m_saveTo;      // the save folder when the job started
    QString m_workingFile; // the working file this run created; empty before
    // The media response announced its size and every byte of it reached the file; the job
    // finishes once the file is also closed without error and has its final name.
    bool m_complete = false;
    // Why the job cannot go on, once that is known (a file, page or reply failure).
    QString m_endReason;
    // What the page request said when it did not end well, for a page that names no stream.
    QString m_pageFailure;
    // This worker ended the request itself: the body was complete (reason empty) or a header
    // was unusable (the reason).
    bool m_selfAborted = false;
    QString m_selfAbortReason;
    // The status of the current request's reply (the document, not a redirect that was
    // followed); 0 before its header was complete.
    int m_replyStatus = 0;
    QString m_replyReason;
    // The reply is framed by chunks: it is whole when the client read its last chunk.
    bool m_chunked = false;
};

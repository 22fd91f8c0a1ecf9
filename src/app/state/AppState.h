#pragma once

#include "app/state/Async.h"
#include "app/state/BucketForm.h"
#include "app/state/ChunkedList.h"
#include "app/state/ClipboardImage.h"
#include "app/state/ConnectionTestOutcome.h"
#include "app/state/DeleteRequest.h"
#include "app/state/FavoriteDirectoryItem.h"
#include "app/state/ImportedConfig.h"
#include "app/state/InlinePreviewState.h"
#include "app/state/KeyringReferences.h"
#include "app/state/KeySet.h"
#include "app/state/ListingIndex.h"
#include "app/state/ListingPage.h"
#include "app/state/MetadataPair.h"
#include "app/state/PathItem.h"
#include "app/state/ShareLinkKind.h"
#include "app/state/TakenKeys.h"
#include "app/state/ToastMessage.h"
#include "app/state/UiServices.h"
#include "app/state/UploadChooser.h"
#include "app/state/UploadConflictMode.h"
#include "app/transfers/UploadPlace.h"
#include "core/config/CDNKeyMove.h"
#include "core/config/ConfigModels.h"
#include "core/files/PrivateFolder.h"
#include "core/storage/S3Client.h"
#include "core/storage/StorageModels.h"
#include "core/values/IsoDate.h"
#include "core/values/Uuid.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QThreadPool>

#include <QCoro/QCoroTask>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class QMimeData;

namespace tarn {

class ConfigStore;
class DesktopNotifier;
class KeychainSecretStore;
class RotatingLogFile;
class TransferCenter;
struct TransferTask;
struct RenameSpec;

using BucketUsageCache = std::unordered_map<Uuid, BucketUsage>;

// The one object that holds everything the windows show and carries out every user
// operation. It lives on the main thread and is never touched from another one.
//
// Published state: every field the views show is a property with a change signal,
// and every assignment emits it, equal value or not (a view that cares compares for
// itself). Views write only the selection, the search text, the status text, the sheet
// flags and the sheets' companions; everything else is written by the operations.
//
// Text types: what is or feeds a core record keeps the core's type and is never
// converted per item (a folder can hold 100,000 objects): object keys, prefixes,
// names and codes are UTF-8 std::string, records such as AppConfig, ObjectItem,
// ObjectPrefix and ObjectDetails are held as they are, local files are
// std::filesystem::path. Texts made for display (statuses, toasts, bubbles, anything
// from L10n) are QString.
//
// Waiting work: an operation is a coroutine on the main thread (started with
// startDetached when nobody awaits it) that runs each blocking core call through
// inBackground() and passes it the token of the operation's std::stop_source;
// "cancel" is request_stop(). After every co_await it checks a QPointer to the state
// first and then the session or epoch it captured, so a late result is dropped and a
// destroyed state is never touched. Operations never throw to their callers: failures
// become toasts (toastRequested) or bubbles (bubbleRequested).
//
// The operations live in one source file per concern, AppState<Concern>.cpp beside
// this header (AppState.cpp itself: construction, configuration, language, events).
// Each section below names in its heading the file that implements it; a new
// concern gets a file and a section of its own.
class AppState : public QObject {
    Q_OBJECT

    // Configuration and language.
    Q_PROPERTY(tarn::AppConfig config READ config WRITE setConfig NOTIFY configChanged)
    Q_PROPERTY(std::string languageCode READ languageCode WRITE setLanguageCode NOTIFY languageCodeChanged)
    // Listing and navigation.
    Q_PROPERTY(std::optional<tarn::Uuid> selectedBucketID READ selectedBucketID NOTIFY selectedBucketIDChanged)
    // No properties for objects() and prefixes(): a read through the meta-object would
    // copy a whole folder. objectsChanged and prefixesChanged tell of their changes.
    Q_PROPERTY(std::string currentPrefix READ currentPrefix NOTIFY currentPrefixChanged)
    Q_PROPERTY(std::string searchText READ searchText WRITE setSearchText NOTIFY searchTextChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(QString statusText READ statusText WRITE setStatusText NOTIFY statusTextChanged)
    Q_PROPERTY(std::optional<tarn::BucketUsage> bucketUsage READ bucketUsage NOTIFY bucketUsageChanged)
    Q_PROPERTY(tarn::BucketUsageCache bucketUsageCache READ bucketUsageCache NOTIFY bucketUsageCacheChanged)
    Q_PROPERTY(bool hasMoreObjects READ hasMoreObjects NOTIFY hasMoreObjectsChanged)
    Q_PROPERTY(bool isLoadingMore READ isLoadingMore NOTIFY isLoadingMoreChanged)
    Q_PROPERTY(bool isSearching READ isSearching NOTIFY isSearchingChanged)
    Q_PROPERTY(QString listingFailure READ listingFailure NOTIFY listingFailureChanged)
    // Selection: object keys, folder prefixes, or "upload:" + a transfer task's UUID.
    Q_PROPERTY(std::optional<std::string> selectedObjectKey READ selectedObjectKey WRITE setSelectedObjectKey NOTIFY selectedObjectKeyChanged)
    Q_PROPERTY(tarn::KeySet selectedObjectKeys READ selectedObjectKeys WRITE setSelectedObjectKeys NOTIFY selectedObjectKeysChanged)
    Q_PROPERTY(std::optional<std::string> revealKey READ revealKey WRITE setRevealKey NOTIFY revealKeyChanged)
    // Inspector and preview.
    Q_PROPERTY(std::optional<tarn::ObjectDetails> objectDetails READ objectDetails NOTIFY objectDetailsChanged)
    Q_PROPERTY(tarn::InlinePreviewState inlinePreviewState READ inlinePreviewState NOTIFY inlinePreviewStateChanged)
    Q_PROPERTY(double previewDownloadFraction READ previewDownloadFraction NOTIFY previewDownloadFractionChanged)
    Q_PROPERTY(bool showingPreview READ showingPreview NOTIFY showingPreviewChanged)
    // Sheets: each is shown while its flag is true.
    Q_PROPERTY(bool showingAppSettings READ showingAppSettings WRITE setShowingAppSettings NOTIFY showingAppSettingsChanged)
    Q_PROPERTY(bool showingBucketEditor READ showingBucketEditor WRITE setShowingBucketEditor NOTIFY showingBucketEditorChanged)
    Q_PROPERTY(bool showingAddBucketEditor READ showingAddBucketEditor WRITE setShowingAddBucketEditor NOTIFY showingAddBucketEditorChanged)
    Q_PROPERTY(bool showingDeleteConfirm READ showingDeleteConfirm WRITE setShowingDeleteConfirm NOTIFY showingDeleteConfirmChanged)
    Q_PROPERTY(bool showingNewFolder READ showingNewFolder WRITE setShowingNewFolder NOTIFY showingNewFolderChanged)
    Q_PROPERTY(bool showingRenameMove READ showingRenameMove WRITE setShowingRenameMove NOTIFY showingRenameMoveChanged)
    Q_PROPERTY(bool showingShareSheet READ showingShareSheet WRITE setShowingShareSheet NOTIFY showingShareSheetChanged)
    Q_PROPERTY(bool showingEditMetadata READ showingEditMetadata WRITE setShowingEditMetadata NOTIFY showingEditMetadataChanged)
    Q_PROPERTY(bool showingHistory READ showingHistory WRITE setShowingHistory NOTIFY showingHistoryChanged)
    Q_PROPERTY(bool showingUploadConflict READ showingUploadConflict WRITE setShowingUploadConflict NOTIFY showingUploadConflictChanged)
    Q_PROPERTY(bool showingTempFiles READ showingTempFiles WRITE setShowingTempFiles NOTIFY showingTempFilesChanged)
    Q_PROPERTY(bool showingAbortConfirm READ showingAbortConfirm WRITE setShowingAbortConfirm NOTIFY showingAbortConfirmChanged)
    Q_PROPERTY(bool isDropTargeted READ isDropTargeted WRITE setIsDropTargeted NOTIFY isDropTargetedChanged)
    // What the sheets edit.
    Q_PROPERTY(std::optional<tarn::Uuid> editingProfileID READ editingProfileID WRITE setEditingProfileID NOTIFY editingProfileIDChanged)
    Q_PROPERTY(std::optional<tarn::BucketConfig> editingBucket READ editingBucket WRITE setEditingBucket NOTIFY editingBucketChanged)
    Q_PROPERTY(std::string moveDestinationKey READ moveDestinationKey WRITE setMoveDestinationKey NOTIFY moveDestinationKeyChanged)
    Q_PROPERTY(std::vector<tarn::MetadataPair> metadataDraft READ metadataDraft WRITE setMetadataDraft NOTIFY metadataDraftChanged)
    Q_PROPERTY(std::vector<std::filesystem::path> pendingUploadURLs READ pendingUploadURLs NOTIFY pendingUploadURLsChanged)
    // Unfinished multipart uploads.
    Q_PROPERTY(std::vector<tarn::MultipartUpload> multipartUploads READ multipartUploads NOTIFY multipartUploadsChanged)
    Q_PROPERTY(tarn::KeySet selectedUploadIDs READ selectedUploadIDs WRITE setSelectedUploadIDs NOTIFY selectedUploadIDsChanged)
    Q_PROPERTY(bool isLoadingUploads READ isLoadingUploads NOTIFY isLoadingUploadsChanged)
    Q_PROPERTY(bool hasMoreUploads READ hasMoreUploads NOTIFY hasMoreUploadsChanged)
    // Bucket sync.
    Q_PROPERTY(bool isSyncingBuckets READ isSyncingBuckets NOTIFY isSyncingBucketsChanged)

public:
    // The search waits this long after the last change of its text.
    static constexpr std::chrono::milliseconds searchDebounce{300};

    // Keeps the three services, which must outlive the state; loads nothing and
    // starts nothing.
    AppState(ConfigStore& configStore, KeychainSecretStore& secretStore, S3Client& client, QObject* parent = nullptr);
    // Stops every operation and waits for the background work still running.
    ~AppState() override;

    ConfigStore& configStore() const { return m_configStore; }
    KeychainSecretStore& secretStore() const { return m_secretStore; }
    S3Client& client() const { return m_client; }

    // ---- Configuration, language and events (AppState.cpp) ----

    const AppConfig& config() const { return m_config; }
    void setConfig(AppConfig config);
    // Writes the configuration; a failure becomes an error toast. Publishes `config`.
    void saveConfig();

    const std::string& languageCode() const { return m_languageCode; }
    // Also switches the text tables; notifies even when the code is the same.
    void setLanguageCode(std::string languageCode);

    // The transfer queue, made on first use and kept.
    TransferCenter& transfers();

    void sendToast(const ToastMessage& message);
    void sendBubble(const QString& text);
    // The user's text of a failed `operation` ("upload", "saveConfig"...), as
    // TransferCenter::describe gives it; the error's own detail, which the text may
    // leave out (a local file error keeps only its cause and path), goes to the debug
    // log.
    QString reportFailure(const char* operation, const std::exception_ptr& error) const;
    // The same as an error toast.
    void sendFailureToast(const char* operation, const std::exception_ptr& error);

    // The result of `work()` run on the application's thread pool, awaited on the
    // main thread (see Async.h). `work` may refer to the services, since the state
    // waits for the pool before it goes, but never to the state's fields.
    template <class F>
    QCoro::Task<std::invoke_result_t<std::remove_reference_t<F>&>> inBackground(F&& work) {
        return tarn::inBackground(m_workers, std::forward<F>(work));
    }
    // Stopped when the state goes: background work of others (a sheet's) passes it to
    // the core, so that the state's end, which waits for that work, is not held up by
    // a server that does not answer.
    std::stop_token lifetimeToken() const { return m_lifetimeStop.get_token(); }

    // ---- Listing, navigation and search (AppStateListing.cpp) ----

    const std::optional<Uuid>& selectedBucketID() const { return m_selectedBucketID; }
    // The bucket that `objects` and `prefixes` belong to.
    const std::optional<Uuid>& listingBucketID() const { return m_listingBucketID; }
    const ChunkedList<ObjectItem>& objects() const { return m_objects; }
    const ChunkedList<ObjectPrefix>& prefixes() const { return m_prefixes; }
    const std::string& currentPrefix() const { return m_currentPrefix; }
    const std::string& searchText() const { return m_searchText; }
    // A changed text lists the folder again, searchDebounce after the last change.
    void setSearchText(std::string searchText);
    bool isLoading() const { return m_isLoading; }
    const QString& statusText() const { return m_statusText; }
    void setStatusText(QString statusText);
    const std::optional<BucketUsage>& bucketUsage() const { return m_bucketUsage; }
    const BucketUsageCache& bucketUsageCache() const { return m_bucketUsageCache; }
    bool hasMoreObjects() const { return m_hasMoreObjects; }
    bool isLoadingMore() const { return m_isLoadingMore; }
    // True while a listing started by the search runs.
    bool isSearching() const { return m_isSearching; }
    // Why the folder shown could not be listed, in the user's words and with what they
    // can do about it; empty while the listing shown is good. A folder that could not
    // be listed is never an empty folder.
    const QString& listingFailure() const { return m_listingFailure; }

    // Shows a bucket (none clears the browser) at `directory` ("" for its root):
    // everything shown for the previous bucket is forgotten, and the folder's first
    // page is listed.
    void switchBucket(std::optional<Uuid> bucketID, std::string directory);
    // Shows a bucket that was just added or edited: switches to its root when
    // another one is shown, else lists the current folder again.
    void showBucket(std::optional<Uuid> bucketID);
    // Puts the selected bucket in front of the recent buckets and saves.
    void updateRecentBucket();
    // Closes the sheets that belong to one bucket.
    void closeBucketScopedSheets();
    // Lists the first page of `directory` in the selected bucket (narrowed by the
    // search) and shows it, unless the user has moved to another bucket or folder
    // meanwhile. Virtual so that tests of the search can watch it.
    virtual QCoro::Task<> loadDirectory(std::string directory);
    // Lists the folder the user is in again.
    void refreshDirectory();

    // ---- Folder navigation (AppStateNavigation.cpp) ----

    // Opens a folder of the selected bucket as a new step of the history.
    void enterPrefix(const std::string& prefix);
    // Opens the parent folder as a new step; nothing at the root.
    void goToParent();
    // Steps through the folders visited; nothing when there is no step to take.
    void goBack();
    void goForward();
    bool canGoBack() const { return !m_backStack.empty(); }
    bool canGoForward() const { return !m_forwardStack.empty(); }

    // ---- Operation runner, paging and usage (AppStatePaging.cpp) ----

    // Runs one user-visible storage operation: the state is busy and shows `status`
    // while it runs; what it throws becomes an error toast (a cancellation none).
    // The operation is started inside and awaited.
    QCoro::Task<> run(QString status, std::function<QCoro::Task<>()> operation);
    // Loads the next page of the folder shown, when there is one and none is loading.
    void loadMoreObjects();
    // Stops a next-page load.
    void cancelLoadMore();
    // Shows the bucket's object count and total size: the known figures, or a count
    // over a full listing off the main thread, page by page. Never for the maker's
    // own service.
    void loadBucketUsage(const BucketConfig& bucket);
    // The bucket's objects have changed: its known figures are dropped, and the
    // selected bucket is counted again at once, in place of a count under way (which
    // may have listed pages from before the change). Another bucket is counted when
    // it is shown.
    void recountBucketUsage(const Uuid& bucketID);

    // ---- Selection and inspector (AppStateSelection.cpp) ----

    const std::optional<std::string>& selectedObjectKey() const { return m_selectedObjectKey; }
    void setSelectedObjectKey(std::optional<std::string> selectedObjectKey);
    const KeySet& selectedObjectKeys() const { return m_selectedObjectKeys; }
    void setSelectedObjectKeys(KeySet selectedObjectKeys);
    // A row the browser is asked to scroll to; it sets the key back to none.
    const std::optional<std::string>& revealKey() const { return m_revealKey; }
    void setRevealKey(std::optional<std::string> revealKey);
    // Written by the browser only, while an inline rename is open.
    bool isInlineRenaming() const { return m_isInlineRenaming; }
    void setIsInlineRenaming(bool isInlineRenaming) { m_isInlineRenaming = isInlineRenaming; }

    const std::optional<ObjectDetails>& objectDetails() const { return m_objectDetails; }
    const InlinePreviewState& inlinePreviewState() const { return m_inlinePreviewState; }
    double previewDownloadFraction() const { return m_previewDownloadFraction; }
    bool showingPreview() const { return m_showingPreview; }

    // ---- Sheets and what they edit (AppStateSheets.cpp) ----

    bool showingAppSettings() const { return m_showingAppSettings; }
    void setShowingAppSettings(bool showingAppSettings);
    bool showingBucketEditor() const { return m_showingBucketEditor; }
    void setShowingBucketEditor(bool showingBucketEditor);
    bool showingAddBucketEditor() const { return m_showingAddBucketEditor; }
    void setShowingAddBucketEditor(bool showingAddBucketEditor);
    bool showingDeleteConfirm() const { return m_showingDeleteConfirm; }
    void setShowingDeleteConfirm(bool showingDeleteConfirm);
    bool showingNewFolder() const { return m_showingNewFolder; }
    void setShowingNewFolder(bool showingNewFolder);
    bool showingRenameMove() const { return m_showingRenameMove; }
    void setShowingRenameMove(bool showingRenameMove);
    bool showingShareSheet() const { return m_showingShareSheet; }
    void setShowingShareSheet(bool showingShareSheet);
    bool showingEditMetadata() const { return m_showingEditMetadata; }
    void setShowingEditMetadata(bool showingEditMetadata);
    bool showingHistory() const { return m_showingHistory; }
    void setShowingHistory(bool showingHistory);
    bool showingUploadConflict() const { return m_showingUploadConflict; }
    void setShowingUploadConflict(bool showingUploadConflict);
    bool showingTempFiles() const { return m_showingTempFiles; }
    void setShowingTempFiles(bool showingTempFiles);
    bool showingAbortConfirm() const { return m_showingAbortConfirm; }
    void setShowingAbortConfirm(bool showingAbortConfirm);
    bool isDropTargeted() const { return m_isDropTargeted; }
    void setIsDropTargeted(bool isDropTargeted);

    const std::optional<Uuid>& editingProfileID() const { return m_editingProfileID; }
    void setEditingProfileID(std::optional<Uuid> editingProfileID);
    const std::optional<BucketConfig>& editingBucket() const { return m_editingBucket; }
    void setEditingBucket(std::optional<BucketConfig> editingBucket);
    const std::string& moveDestinationKey() const { return m_moveDestinationKey; }
    void setMoveDestinationKey(std::string moveDestinationKey);
    const std::vector<MetadataPair>& metadataDraft() const { return m_metadataDraft; }
    void setMetadataDraft(std::vector<MetadataPair> metadataDraft);
    // The upload parked while the user decides about existing keys.
    const std::vector<std::filesystem::path>& pendingUploadURLs() const { return m_pendingUploadURLs; }
    const std::string& pendingUploadDirectory() const { return m_pendingUploadDirectory; }
    const KeySet& pendingUploadExistingKeys() const { return m_pendingUploadExistingKeys; }
    const std::optional<Uuid>& pendingUploadBucketID() const { return m_pendingUploadBucketID; }

    const std::vector<MultipartUpload>& multipartUploads() const { return m_multipartUploads; }
    const KeySet& selectedUploadIDs() const { return m_selectedUploadIDs; }
    void setSelectedUploadIDs(KeySet selectedUploadIDs);
    bool isLoadingUploads() const { return m_isLoadingUploads; }
    bool hasMoreUploads() const { return m_hasMoreUploads; }

    bool isSyncingBuckets() const { return m_isSyncingBuckets; }
    // A folder refresh held back while an inline rename is open.
    bool refreshAfterTransfersPending() const { return m_refreshAfterTransfersPending; }
    void setRefreshAfterTransfersPending(bool pending) { m_refreshAfterTransfersPending = pending; }

    // ---- Derived state, computed afresh on every read (AppStateDerived.cpp) ----

    std::vector<BucketConfig> buckets(const StorageProfile& profile) const;
    std::vector<BucketConfig> allBuckets() const;
    std::optional<BucketConfig> selectedBucket() const;
    // Empty while the listing shown belongs to another bucket than the selected one.
    std::vector<ObjectItem> selectedObjects() const;
    // The objects that row keys stand for, as selectedObjects() reads the selection:
    // listed objects by key, and finished uploads and moves by their row's key.
    std::vector<ObjectItem> objectsOfRows(const KeySet& keys) const;
    std::vector<ObjectPrefix> selectedPrefixes() const;
    std::optional<ObjectItem> inspectorObject() const;
    // The ETag known for a key without asking the server: the shown details', else the
    // listed object's, else the inspected object's; none when nothing knows one.
    std::optional<std::string> knownETag(const std::string& key) const;
    std::optional<ObjectPrefix> inspectorPrefix() const;
    std::vector<ObjectItem> displayedObjects() const;
    // Whether a listed object is a row of its own (not the folder's or a sub-folder's
    // marker): the test behind displayedObjects, for readers that walk `objects`
    // without copying it.
    bool isDisplayedObject(const ObjectItem& item) const;
    // Counts the replacements of `objects` and `prefixes` (a listing, a switch, a
    // search), not the further pages appended to them: while it stays the same, an
    // entry keeps its position, so a view may build only what a page added.
    std::uint64_t listingGeneration() const { return m_listingGeneration; }
    bool isSearchingActive() const;
    std::string effectivePrefix(const std::string& prefix) const;
    QString deleteConfirmationMessage() const;
    std::vector<BucketConfig> favoriteBuckets() const;
    std::vector<FavoriteDirectoryItem> favoriteDirectoryItems() const;
    std::vector<PathItem> pathItems() const;

    // ---- Services shared by the operations (AppStateServices.cpp) ----

    // The secret access key of the bucket's account, read from the keyring off the
    // main thread; none when it is missing, empty or unreadable.
    QCoro::Task<std::optional<std::string>> resolvedSecret(BucketConfig bucket);
    // The same read, blocking: for work that already runs in the background.
    static std::optional<std::string> secretFromStore(const KeychainSecretStore& store, const BucketConfig& bucket);
    // The key as the browser names it inside the current folder.
    std::string objectName(const std::string& key) const;
    // Posts one desktop notification and returns at once; failures are silent.
    void notify(const QString& title, const QString& body);
    // The application's one debug log, "corvane.log" in the home folder, made on
    // first use; and the logger that writes the storage client's lines into it.
    static RotatingLogFile& logFile();
    static S3Client::Logger makeFileLogger();
    // The private per-user folder for opened objects, previews, pastes and drags.
    const PrivateFolder& privateFolder() const { return m_privateFolder; }
    // The desktop services of the window layer; a headless stand-in until one is set.
    UiServices& ui() const { return *m_ui; }
    // Not owned; must outlive the state. Null puts the headless stand-in back.
    void setUiServices(UiServices* services);

    // ---- Start-up (AppStateStartup.cpp) ----

    // Reads the configuration and the keyring, opens the first bucket and starts
    // the bucket sync; once per process, later calls return at once. A file that
    // cannot be read is kept aside (its copy's path is told in an error toast) and
    // start-up ends there, on the defaults.
    QCoro::Task<> loadIfNeeded();
    // Whether start-up has ended (loadFinished was sent): from then on the language,
    // the accounts and the first bucket are the stored ones.
    bool hasLoaded() const { return m_hasLoaded; }
    // Moves the CDN token keys of buckets whose ID changed to their new items, off
    // the main thread. A key is moved only when it could be read and its new item
    // could be read too (absent or not): an unreadable item is never deleted nor
    // overwritten. Returns the old items that were left in place for that reason.
    QCoro::Task<std::set<std::string>> applyCDNKeyMoves(std::vector<CDNKeyMove> moves);

    // ---- Bucket sync and connection test (AppStateSync.cpp) ----

    // A sync starts this long after the previous one has ended.
    static constexpr std::chrono::milliseconds bucketSyncInterval{std::chrono::seconds(60)};
    // Syncs now and then again bucketSyncInterval after each sync has ended; a
    // second call replaces the running timer.
    void startSyncTimer();
    // Lists the buckets of every account that has a stored secret, one account after
    // another, and writes the changed bucket lists into the configuration (by profile
    // ID, into the configuration as it is once all listings are in; saved only when a
    // list changed). An account whose listing fails keeps its list. A selected bucket
    // that is gone gives way to the first bucket. Returns at once while a sync runs.
    // (Virtual so that tests of the timer can watch it.)
    virtual QCoro::Task<> syncAllBuckets();
    // Lists the root folder of the bucket (every page) under the "Loading" status and
    // toasts the result: "connection_ok", or the error's description.
    QCoro::Task<ConnectionTestOutcome> testConnection(BucketConfig bucket);

    // ---- Reloads after changes (AppStateRefresh.cpp) ----

    // Lists the current folder again and recounts the usage of the bucket that
    // changed (the selected one when none is named), at once.
    // (Virtual, as refreshAfterTransfers below: tests count what the transfer queue
    // asks for.)
    virtual void reloadAfterMutation(std::optional<Uuid> changedBucketID = std::nullopt);
    // The user's Refresh (toolbar, menu): the folder is listed and the usage counted
    // again.
    void refresh();
    // The reload the transfer queue asks for once it has drained after a task
    // changed the bucket on screen; deferred while an inline rename is open.
    virtual void refreshAfterTransfers();
    // Shows the inspector for the current selection: the folder or empty state, or
    // the object's details and preview when the preview pane is shown.
    QCoro::Task<> refreshInspector();

    // ---- Object details and inline preview (AppStateInspector.cpp) ----

    // Reads the object's stored headers and shows them while the inspector still
    // shows that object.
    QCoro::Task<> loadObjectDetails(ObjectItem item);
    // Prepares the object's preview; publishes only while the inspector's epoch is
    // still `epoch`.
    QCoro::Task<> loadInlinePreview(ObjectItem item, int epoch);
    // Shows or hides the preview pane; showing it refreshes the inspector.
    void togglePreviewPanel();

    // ---- Rename and move (AppStateRename.cpp) ----

    // Opens the rename/move sheet for the selection.
    void startRenameMove();
    // Queues the rename of one row, edited in place, to `newName` in its folder.
    void renameInPlace(const std::string& newName, const std::string& sourceKey,
                       std::optional<std::int64_t> knownSize);
    // Closes the sheet and queues the move of the selection's first entry.
    void moveSelectedObject(const std::string& destination);

    // ---- Unfinished multipart uploads (AppStateMultipart.cpp) ----

    // Resets the list, shows the sheet and loads the first page.
    void openMultipartUploads();
    void reloadMultipartUploads();
    // Aborts the listed uploads whose IDs are selected, in list order.
    void abortSelectedUploads();
    // Aborts the given uploads, one after the other, until one fails; only those
    // aborted leave the list.
    void abort(std::vector<MultipartUpload> uploads);
    // Appends the next page of the list, when there is one and none is loading.
    void loadMoreMultipartUploads();

    // ---- Share links (AppStateShare.cpp) ----

    // The kind the share sheet preselects for the selected bucket (reads the keyring).
    QCoro::Task<ShareOption> preferredShareOption();
    // The link's absolute URL, or nothing when it cannot be made (reads the keyring
    // for CDN token links).
    QCoro::Task<std::optional<std::string>> shareLink(ShareLinkKind kind, ObjectItem object,
                                                      std::optional<Uuid> domainID, std::int64_t expiresSeconds,
                                                      std::int64_t maxRequests, std::int64_t cdnTTLSeconds);

    // ---- Metadata editing (AppStateMetadata.cpp) ----

    // Opens the metadata editor with the inspected object's user metadata, once its
    // details have been read (a toast says why not before).
    void startEditMetadata();
    // Writes the draft as the user metadata of the object it was read from, while that
    // object is still the inspected one; returns at once.
    void saveMetadata();

    // ---- Preferences and favourites (AppStatePreferences.cpp) ----

    // Every change below is saved at once.

    // Adds the bucket in front of the favourites, or removes every mention of it.
    void toggleFavoriteBucket(const Uuid& id);
    // For a folder of the selected bucket (never its root): removes the first
    // favourite of it, or adds one in front.
    void toggleFavoriteDirectory(const std::string& prefix);
    // Removes every favourite of the item's bucket and prefix.
    void removeFavoriteDirectory(const FavoriteDirectoryItem& item);
    // Switches the text tables at once, notifies even for the same code, and keeps it.
    void setLanguage(std::string languageCode);
    // Attaches the file logger to the storage client, or detaches it, and keeps the switch.
    void setDebugLogging(bool enabled);
    // Largest object previewed, in whole MiB, kept within 1 to 2048.
    void setPreviewSizeLimitMB(std::int64_t megabytes);
    // Multipart part size in MiB, kept within 10 to 1024 and snapped down to steps of 5.
    void setMultipartPartSizeMB(std::int64_t megabytes);
    // Hides every sheet and drops a parked upload; nothing else changes.
    void closeAllSheets();

    // ---- Operation history (AppStateHistory.cpp) ----

    // At most this many entries are kept, newest first.
    static constexpr std::size_t historyLimit = 100;
    // A burst of entries reaches the configuration in one save, this long after its first.
    static constexpr std::chrono::milliseconds historyFlushDelay{800};

    // Keeps one entry of the operation history; entries reach the configuration
    // 0.8 s later in one save, or at the next flushHistory().
    void recordHistory(const QString& action, const QString& detail, const std::string& bucketName,
                       bool succeeded, std::optional<std::int64_t> bytes = std::nullopt,
                       std::optional<double> durationSeconds = std::nullopt);
    // Writes the buffered entries now (before export, import and at quit); nothing is
    // saved when none are buffered.
    void flushHistory();
    // The history as it will be written: the buffered entries, then the configuration's,
    // newest first and at most historyLimit. Writes nothing.
    std::vector<OperationHistoryEntry> historyEntries() const;

    // ---- Upload conflict keys and clipboard images (AppStateUploadConflicts.cpp) ----

    // The keys an upload into the selected bucket must treat as taken: the listing
    // on screen, plus what the queue has changed since it was taken (succeeded
    // uploads, and renames and moves not failed). Full keys, so the target folder
    // does not matter; it is taken for the callers' sake. Cheap while the listing
    // stays the same: its keys are gathered once.
    TakenKeys existingKeysForUploadConflict(const std::string& directory) const;
    // The best image the clipboard or a drop offers, in its own file format: PNG,
    // JPEG, HEIC, GIF, WebP, TIFF in this order; else any image Qt can decode, as
    // PNG; else none.
    static std::optional<ClipboardImage> clipboardImageData(const QMimeData& mimeData);

    // ---- Accounts and the settings hand-overs (AppStateAccounts.cpp) ----

    // Keyring writes of these operations run one at a time, in the order they were
    // asked for, off the main thread: a removal's clean-up never deletes a secret that
    // an add asked for later has just stored.

    // Adds the buckets and keys the add-account sheet has verified: merged into the
    // profile of the same account (the host in any letter case, the region and the
    // access key ID), whose spelling of the endpoint names the secret, or a new
    // profile. The secret is stored first; when that fails the toast says so and
    // nothing changes. Then saves, closes the sheet and shows the last of the new
    // buckets. `closeSheet` false leaves the sheets alone: the sheet that checked the
    // keys was closed meanwhile, and the one open now is another.
    QCoro::Task<> addProfile(std::string name, std::vector<std::string> bucketNames, std::string endpoint,
                             std::string region, std::string accessKeyID, std::string secretAccessKey,
                             bool closeSheet = true);
    // The profile's name afterwards: `newName` trimmed and made unique among the other
    // profiles, the old name when the text is blank, the same, or the save failed (the
    // rename is then undone), and `newName` itself for an unknown profile.
    std::string renameProfile(const Uuid& id, const std::string& newName);
    // `base`, or the first of "base (2)", "base (3)", ... that no profile is named.
    std::string uniqueProfileName(const std::string& base) const;
    // Removes the account with what only it used: its buckets' settings and
    // favourites, then (once the configuration is saved) its secret unless another
    // profile shares it, its buckets' CDN token keys and private folders. A failed
    // save undoes everything and is a toast.
    QCoro::Task<> removeProfile(Uuid id);

    // A sheet that hands over to another closes at once; the next opens this much later.
    static constexpr std::chrono::milliseconds sheetHandOverDelay{250};
    // Settings to the history (written first), to a new account, to an account's editor.
    void openHistoryFromSettings();
    void startAddingProfileFromSettings();
    void startEditingProfileFromSettings(const Uuid& id);

    // ---- The bucket form (AppStateBucketForm.cpp) ----

    // The form for a bucket, with the CDN token keys the keyring stores (read off the
    // main thread); a key that could not be read is left none.
    QCoro::Task<BucketForm> makeBucketForm(BucketConfig bucket);
    // Stores the form's display name and CDN domains, and their token keys in the
    // keyring: a typed key is stored, an emptied one or one of a removed domain
    // deleted, one the form holds no text for left alone. Then saves, closes the form
    // and shows the bucket.
    QCoro::Task<> saveBucket(BucketForm form);

    // ---- Configuration import and export (AppStateImportExport.cpp) ----

    // Writes the configuration (history included, no secret) to a file the user
    // chooses.
    QCoro::Task<> exportConfig();
    // Replaces the configuration by a file the user chooses, of any schema, after the
    // user confirms; the current file is kept as config.json.before-import.bak.
    QCoro::Task<> importConfig();
    // The file as a configuration at the current schema; none when it holds no
    // account or comes from a newer schema. Throws what decoding throws.
    static std::optional<ImportedConfig> parseImportedConfig(std::string_view bytes);
    // ---- Deletes, downloads, new folders and opening objects (AppStateDeletes.cpp,
    //      AppStateDownloads.cpp, AppStateFolders.cpp) ----

    // The delete of what is selected now, for the confirmation to show and to perform
    // later; none when nothing is selected.
    std::optional<DeleteRequest> makeDeleteRequest() const;
    // Queues one delete task for the request and returns at once; clears the
    // selection when the request belongs to the bucket shown.
    void performDelete(const DeleteRequest& request);
    // Asks for a local folder and queues one download per selected object and
    // folder; ends once they are queued, or at once when the chooser is cancelled.
    QCoro::Task<> downloadSelectedObjects();
    // Creates the folder `name` (trimmed, UTF-8) inside the folder shown and selects
    // it once listed; returns at once. An invalid name gets the "invalid_name" toast.
    void createFolder(const std::string& name);
    // Whether a typed name may be one piece of a key: not empty, no "/", not "." or "..".
    static bool isValidEntryName(std::string_view name);
    // Downloads the first selected object into the private folder and hands it to the
    // desktop's default application; failures become error toasts.
    QCoro::Task<> openSelectedObject();
    // The same for the object of one row key (a listed object's key, or the row of a
    // finished upload or move), whatever is selected; nothing when it stands for none.
    QCoro::Task<> openObject(std::string rowKey);
    // Hands a file downloaded from a bucket to the desktop's default application; a
    // launcher, script, program or installer only once the user has said yes (Cancel
    // is the default answer). What the desktop made of it, a failure also told as an
    // error toast; none when the user said no.
    QCoro::Task<std::optional<UiServices::LaunchOutcome>> openDownloadedFile(std::filesystem::path file);
    // The bucket's preview cache in the private folder, made (private) when missing.
    // Throws PrivateFolderError or std::filesystem::filesystem_error.
    std::filesystem::path previewCacheFolder(const BucketConfig& bucket) const;
    // ---- Uploads and upload conflicts (AppStateUploads.cpp) ----

    // The upload command: asks for files, or for a folder (the desktop's chooser
    // takes one kind at a time), and uploads them into the folder shown, asking
    // about existing keys. Nothing without a selected bucket or when cancelled.
    void upload(UploadChooser chooser);
    // Uploads local files and folders into the folder shown. `replace` queues them at
    // once; the other modes first look up which of their keys exist already.
    void uploadFiles(std::vector<std::filesystem::path> files, UploadConflictMode mode);
    // Queues the upload, or under `ask` with a key that exists parks it in the
    // pending fields and opens the conflict sheet; under `skip` with nothing left,
    // says how many files were skipped. The conflict sheet calls it with the pending
    // fields and the user's choice. The files are looked at off the main thread.
    void enqueueUploads(std::vector<std::filesystem::path> urls, std::string directory, UploadConflictMode mode,
                        KeySet existingKeys, std::optional<Uuid> bucketID);
    // Forgets the upload parked for the conflict sheet.
    void clearPendingUpload();

    // ---- Paste and drop (AppStatePaste.cpp) ----

    // The paste command: what the clipboard holds, through the desktop services.
    void pasteFromClipboard();
    // Uploads what was pasted into the folder shown: its files (asking about
    // existing keys), else its image, else its text, each written to a file of its
    // own first and uploaded under a free name; a beep when there is nothing.
    void paste(const UiServices::ClipboardContents& contents);
    // Files dropped on the browser, as the window layer found them in the drop.
    // False (refused) without a selected bucket or without files.
    bool handleDrop(std::vector<std::filesystem::path> files);

    // ---- Copying objects out to the clipboard (AppStateClipboardCopy.cpp) ----

    // A clipboard manager asks for whatever is copied at once, which downloads it: a
    // copy of more objects or bytes than these asks the user first.
    static constexpr std::size_t clipboardCopyObjectLimit = 1000;
    static constexpr std::int64_t clipboardCopyByteLimit = std::int64_t{100} * 1024 * 1024;
    // Whether a copy of `objects` objects of `bytes` bytes and of the folders
    // `folderPrefixes` of `bucket` may go to the clipboard: true at once when it stays
    // within the limits, else the user's answer. The folders are counted by listing
    // them, only until the limits are passed; a folder that cannot be listed (a
    // listing that would never end among them) counts as nothing (the paste then tells
    // why it failed). Leaving the bucket, or quitting, stops the count and gives false.
    QCoro::Task<bool> confirmClipboardCopy(BucketConfig bucket, std::size_t objects, std::int64_t bytes,
                                           std::vector<std::string> folderPrefixes);

signals:
    void configChanged();
    void loadFinished();
    void languageCodeChanged();
    void selectedBucketIDChanged();
    void objectsChanged();
    void prefixesChanged();
    void currentPrefixChanged();
    void searchTextChanged();
    void isLoadingChanged();
    void statusTextChanged();
    void bucketUsageChanged();
    void bucketUsageCacheChanged();
    void hasMoreObjectsChanged();
    void isLoadingMoreChanged();
    void isSearchingChanged();
    void listingFailureChanged();
    void selectedObjectKeyChanged();
    void selectedObjectKeysChanged();
    void revealKeyChanged();
    void objectDetailsChanged();
    void inlinePreviewStateChanged();
    void previewDownloadFractionChanged();
    void showingPreviewChanged();
    void showingAppSettingsChanged();
    void showingBucketEditorChanged();
    void showingAddBucketEditorChanged();
    void showingDeleteConfirmChanged();
    void showingNewFolderChanged();
    void showingRenameMoveChanged();
    void showingShareSheetChanged();
    void showingEditMetadataChanged();
    void showingHistoryChanged();
    void showingUploadConflictChanged();
    void showingTempFilesChanged();
    void showingAbortConfirmChanged();
    void isDropTargetedChanged();
    void editingProfileIDChanged();
    void editingBucketChanged();
    void moveDestinationKeyChanged();
    void metadataDraftChanged();
    void pendingUploadURLsChanged();
    void multipartUploadsChanged();
    void selectedUploadIDsChanged();
    void isLoadingUploadsChanged();
    void hasMoreUploadsChanged();
    void isSyncingBucketsChanged();

    // A transient message for the browser to show as a toast.
    void toastRequested(const tarn::ToastMessage& message);
    // A short text for the bubble at the browser's status indicator.
    void bubbleRequested(const QString& text);

private:
    friend struct AppStateTestAccess;

    // Setters of the fields only the operations write.
    void setSelectedBucketID(std::optional<Uuid> selectedBucketID);
    void setObjects(std::vector<ObjectItem> objects);
    void setPrefixes(std::vector<ObjectPrefix> prefixes);
    // With the index of the entries, made where they were fetched.
    void setObjects(ChunkedList<ObjectItem> objects, ListingIndex<ObjectItem> index);
    void setPrefixes(ChunkedList<ObjectPrefix> prefixes, ListingIndex<ObjectPrefix> index);
    // Lets go of a whole listing on the pool's thread, not on this one.
    template <class T>
    void discardInBackground(T doomed);
    void setCurrentPrefix(std::string currentPrefix);
    void setIsLoading(bool isLoading);
    void setBucketUsage(std::optional<BucketUsage> bucketUsage);
    void setBucketUsageCache(BucketUsageCache bucketUsageCache);
    void setHasMoreObjects(bool hasMoreObjects);
    void setIsLoadingMore(bool isLoadingMore);
    void setIsSearching(bool isSearching);
    void setListingFailure(QString listingFailure);
    void setObjectDetails(std::optional<ObjectDetails> objectDetails);
    void setInlinePreviewState(InlinePreviewState inlinePreviewState);
    void setPreviewDownloadFraction(double previewDownloadFraction);
    void setShowingPreview(bool showingPreview);
    void setPendingUploadURLs(std::vector<std::filesystem::path> pendingUploadURLs);
    void setMultipartUploads(std::vector<MultipartUpload> multipartUploads);
    void setIsLoadingUploads(bool isLoadingUploads);
    void setHasMoreUploads(bool hasMoreUploads);
    void setIsSyncingBuckets(bool isSyncingBuckets);

    // Every assignment publishes, equal value or not.
    template <class T>
    void publish(T& field, T value, void (AppState::*changed)()) {
        field = std::move(value);
        emit(this->*changed)();
    }

    // The keyring writes of the account operations, in order (see above).
    template <class F>
    QCoro::Task<std::invoke_result_t<std::remove_reference_t<F>&>> inKeyringOrder(F&& work) {
        return tarn::inBackground(m_keyringWrites, std::forward<F>(work));
    }
    // A line of the debug log, written only while debug logging is on.
    void debugLog(const std::string& line) const;
    // Opens the sheet whose flag `show` sets, sheetHandOverDelay from now.
    QCoro::Task<> showAfterHandOver(void (AppState::*show)(bool));
    // Import steps: the user's confirmation; the replacement (file first, memory after),
    // which throws what the backup or the save throws; the closing report of the
    // secrets this computer lacks for the new configuration.
    // With `turnsOnLogging`, the question also says that the file switches the debug log on.
    QCoro::Task<bool> confirmImport(std::size_t accountCount, bool turnsOnLogging);
    QCoro::Task<> applyImportedConfig(AppConfig config, std::vector<CDNKeyMove> cdnMoves);
    QCoro::Task<> reportImportResult();
    // The bucket form's token keys, written before its settings change (blocking).
    // `previous` are the bucket's domains before the save. Every change is tried; the
    // first failure is thrown after them.
    static void persistCDNKeys(KeychainSecretStore& store, const BucketForm& form, const Uuid& bucketID,
                               const std::vector<PublicDomain>& previous);
    // The upload paths: the chooser, then the probe of existing keys, then the
    // look at the files and the decision.
    QCoro::Task<> chooseAndUpload(UploadChooser chooser, BucketConfig bucket, std::string directory);
    // Each upload the user hands over takes its place in the queue at once (`place`).
    QCoro::Task<> probeAndEnqueue(UploadPlace place, std::vector<std::filesystem::path> urls, BucketConfig bucket,
                                  std::string directory, UploadConflictMode mode);
    QCoro::Task<KeySet> probeExistingKeys(std::vector<std::filesystem::path> topLevel, std::string directory,
                                          BucketConfig bucket);
    QCoro::Task<> planAndEnqueue(UploadPlace place, std::vector<std::filesystem::path> urls, std::string directory,
                                 UploadConflictMode mode, TakenKeys taken, std::optional<Uuid> bucketID);
    // Writes pasted bytes to a file of their own and uploads it under a free name.
    void uploadClipboardData(QByteArray data, const std::string& fileExtension);
    QCoro::Task<> uploadPastedFile(UploadPlace place, QByteArray data, std::string fileName, BucketConfig bucket,
                                   std::string directory);

    // The one pending history flush: waits historyFlushDelay, then writes.
    QCoro::Task<> flushHistoryLater(std::stop_token stop);
    // Moves the buffered entries in front of the configuration's history; false when
    // there were none.
    bool takeHistoryBuffer();
    // A destroyed state still keeps its last entries, written without any signal.
    void flushHistoryAtExit();

    // The transfer tasks, without making the queue.
    const std::vector<TransferTask>& transferTasks() const;

    // Restarts the debounced search; runSearch waits and then lists.
    void scheduleSearch();
    QCoro::Task<> runSearch(std::stop_token stop);
    // Sets the search text to "" without the search listing again.
    void clearSearchQuietly();

    // A move of the user to `directory` (a bucket switch or a folder change): from
    // now on only listings started after it may be shown.
    void beginNavigation(std::string directory);
    // The common move of the folder navigation.
    void navigate(std::string prefix);
    void stepThroughHistory(std::vector<std::string>& from, std::vector<std::string>& to);
    // secretFromStore's read, but a keyring that cannot be read throws its own error.
    static std::optional<std::string> storedSecret(const KeychainSecretStore& store, const BucketConfig& bucket);
    // The account's credentials for a call that already runs in the background;
    // throws S3Error::missingSecret without a stored secret, and the keyring's
    // KeychainError when it cannot be read.
    static S3Credentials storedCredentials(const KeychainSecretStore& store, const BucketConfig& bucket);
    // Why a first-page listing of `bucket` failed, as the browser shows it in place of
    // the rows.
    QString listingFailureText(const BucketConfig& bucket, const std::exception_ptr& error) const;
    // What to do for a bucket whose account's secret is not in the keyring.
    QString missingSecretText(const BucketConfig& bucket) const;
    // The listing operation of loadDirectory, run under run().
    QCoro::Task<> listFirstPage(BucketConfig bucket, std::string directory, std::string listPrefix, TimePoint listedAt,
                                int session, int navigation);
    // Selects the key a reload was asked to select, when the new listing has it.
    void applyPendingSelection();
    // Loads further pages until one is merged, paging ends or `stop` is requested.
    QCoro::Task<> loadNextPage(BucketConfig bucket, std::string listPrefix, std::optional<std::string> token,
                               ListingBasis basis, std::stop_token stop);
    // The listing as it is, for sorting out a further page elsewhere.
    ListingBasis listingBasis() const;
    // Appends the entries of a further page that the listing does not show yet.
    void appendPage(S3Listing page);
    void appendPage(ListingPage page);
    // The position of a listed object or folder by its key.
    std::optional<std::size_t> listedObject(std::string_view key) const;
    std::optional<std::size_t> listedPrefix(std::string_view key) const;
    // The keys of the listed objects, shared until the listing changes.
    std::shared_ptr<const KeySet> listedKeys() const;
    // Counts the bucket's usage in the background, in place of any count under way.
    void startUsageCount(const BucketConfig& bucket);
    QCoro::Task<> countBucketUsage(BucketConfig bucket, std::stop_token stop);
    // Whether usage figures are never counted for the bucket (the maker's service).
    static bool hasServiceUsage(const BucketConfig& bucket);
    // The creation of a folder marker under run(), then the reload that selects it.
    QCoro::Task<> createFolderIn(BucketConfig bucket, std::string name, std::string prefix);
    QCoro::Task<> putFolderMarker(BucketConfig bucket, std::string name, std::string prefix, bool* created);
    // The opening of one object, run under run().
    QCoro::Task<> downloadAndOpen(BucketConfig bucket, ObjectItem object);
    // Opens the first of the objects in the selected bucket.
    QCoro::Task<> openFirst(std::vector<ObjectItem> objects);

    // Renames and moves (AppStateRename.cpp). A rename task is queued only once its
    // destination is known to be free: from what the state holds, or else by asking
    // the server (probeAndQueueRename). `inPlace`: edited in the browser's row.
    enum class DestinationState { free, taken, unknown };
    DestinationState destinationState(const RenameSpec& rename) const;
    QCoro::Task<> probeAndQueueRename(BucketConfig bucket, TransferTask task, bool inPlace);
    void checkAndQueueRename(TransferTask task, bool inPlace);
    void queueRename(TransferTask task, bool inPlace, const BucketConfig& bucket, bool select);
    std::int64_t objectSizeForRename(const std::string& sourceKey) const;
    // Gives the cached preview of `from` the name of `to` as well, in the background.
    void migratePreviewCache(const BucketConfig& bucket, const std::string& from, const std::string& to,
                             std::int64_t size, const std::optional<std::string>& eTag);
    QCoro::Task<> copyCachedPreview(Uuid bucketID, std::string sourceName, std::string targetName);

    // Start-up's steps (AppStateStartup.cpp). Accounts in `spared` hold a secret
    // start-up could not read or copy: the clean-up leaves them for a later start.
    void keepUnreadableConfig(const std::exception& readError);
    QCoro::Task<> migrateAndCleanupSecrets(std::set<std::string> spared);
    // The sync's steps (AppStateSync.cpp).
    QCoro::Task<> runSyncTimer(std::stop_token stop);
    void reselectAfterSync();
    QCoro::Task<> checkConnection(BucketConfig bucket, std::shared_ptr<ConnectionTestOutcome> outcome);

    // Inspector previews (AppStateInspector.cpp). Whether the object of `key` is still
    // the one inspected under `epoch`: results of older refreshes are dropped.
    bool isInspected(const std::string& key, int epoch) const;
    bool looksLikeImage(const ObjectItem& item) const;
    // Whether the bucket's server renders the image service's resized images; other
    // servers ignore the request and send the whole original.
    static bool hasImageService(const BucketConfig& bucket);
    // The object's copy in the preview cache, downloaded unless a copy of its size is
    // there; with `progressEpoch`, the download's progress is shown while current.
    QCoro::Task<std::filesystem::path> previewObjectURL(ObjectItem item, BucketConfig bucket,
                                                        std::optional<int> progressEpoch);
    // The image service's resized image of the object, fetched anew into the cache.
    QCoro::Task<std::filesystem::path> glintPreviewURL(ObjectItem item, BucketConfig bucket);
    // Whether the image file decodes (off the main thread).
    QCoro::Task<bool> decodesAsImage(std::filesystem::path file);
    // The resized image as the preview of `item`, when it decodes; else "unsupported".
    // When it cannot be fetched: `whenUnavailable`, or else the fetch's failure.
    QCoro::Task<> showResizedImage(ObjectItem item, BucketConfig bucket, int epoch,
                                   std::optional<InlinePreviewState> whenUnavailable = std::nullopt);
    // Unfinished multipart uploads (AppStateMultipart.cpp): one page of the list (the
    // first again with `reset`), and the aborts, which note each upload aborted.
    QCoro::Task<> loadMultipartUploads(bool reset);
    QCoro::Task<> abortUploads(BucketConfig bucket, std::vector<MultipartUpload> uploads);
    QCoro::Task<> abortEach(BucketConfig bucket, std::vector<MultipartUpload> uploads,
                            std::vector<std::string>* aborted, std::exception_ptr* failure);
    // Metadata editing (AppStateMetadata.cpp): the write and the reload of the details.
    QCoro::Task<> writeMetadata(BucketConfig bucket, ObjectItem object, std::map<std::string, std::string> metadata,
                                std::optional<std::string> contentType);

    ConfigStore& m_configStore;
    KeychainSecretStore& m_secretStore;
    S3Client& m_client;

    // Configuration and language.
    AppConfig m_config;
    std::string m_languageCode;
    bool m_didLoad = false;
    bool m_hasLoaded = false;

    // Listing and navigation.
    std::optional<Uuid> m_selectedBucketID;
    std::optional<Uuid> m_listingBucketID;
    int m_bucketSession = 0;  // a listing started under another session is dropped
    int m_navigation = 0;     // a listing started before the newest navigation is dropped
    // The folder the newest navigation opens: currentPrefix once its listing has
    // been shown or has failed. Reloads list it, so that a reload while a folder
    // opens does not bring the previous folder back.
    std::string m_navigationTarget;
    ChunkedList<ObjectItem> m_objects;
    ChunkedList<ObjectPrefix> m_prefixes;
    std::uint64_t m_listingGeneration = 0;
    ListingIndex<ObjectItem> m_objectIndex;
    ListingIndex<ObjectPrefix> m_prefixIndex;
    // listedKeys(): the set, and the listing generation and object count it covers.
    mutable std::shared_ptr<KeySet> m_listedKeys;
    mutable std::uint64_t m_listedKeysGeneration = 0;
    mutable std::size_t m_listedKeysCount = 0;
    std::string m_currentPrefix;
    std::string m_searchText;
    bool m_isLoading = false;
    QString m_statusText;
    std::optional<BucketUsage> m_bucketUsage;
    BucketUsageCache m_bucketUsageCache;
    bool m_hasMoreObjects = false;
    bool m_isLoadingMore = false;
    bool m_isSearching = false;
    QString m_listingFailure;
    std::vector<std::string> m_backStack;
    std::vector<std::string> m_forwardStack;
    std::optional<std::string> m_nextPageToken;
    std::stop_source m_searchStop;
    std::stop_source m_loadMoreStop;
    std::stop_source m_usageStop;
    std::optional<Uuid> m_usageBucketID;  // the bucket whose usage is being counted
    // Stopped when the state goes; for core calls no other handle cancels.
    std::stop_source m_lifetimeStop;
    bool m_suppressSearchReload = false;  // navigation clears the search without a listing
    int m_runningOperations = 0;

    // Selection.
    std::optional<std::string> m_selectedObjectKey;
    KeySet m_selectedObjectKeys;
    std::optional<std::string> m_revealKey;
    std::optional<std::string> m_pendingSelectKey;  // selected by the next listing
    bool m_pendingSelectShouldReveal = false;
    bool m_isInlineRenaming = false;

    // Inspector and preview.
    std::optional<ObjectDetails> m_objectDetails;
    InlinePreviewState m_inlinePreviewState;
    double m_previewDownloadFraction = 0;
    bool m_showingPreview = true;
    int m_inspectorEpoch = 0;  // a preview started under another epoch is dropped

    // Sheets and their companions.
    bool m_showingAppSettings = false;
    bool m_showingBucketEditor = false;
    bool m_showingAddBucketEditor = false;
    bool m_showingDeleteConfirm = false;
    bool m_showingNewFolder = false;
    bool m_showingRenameMove = false;
    bool m_showingShareSheet = false;
    bool m_showingEditMetadata = false;
    bool m_showingHistory = false;
    bool m_showingUploadConflict = false;
    bool m_showingTempFiles = false;
    bool m_showingAbortConfirm = false;
    bool m_isDropTargeted = false;
    std::optional<Uuid> m_editingProfileID;
    std::optional<BucketConfig> m_editingBucket;
    std::string m_moveDestinationKey;
    std::vector<MetadataPair> m_metadataDraft;
    // The details the draft was read from, and their bucket: a save writes only there.
    std::optional<ObjectDetails> m_metadataDraftSource;
    std::optional<Uuid> m_metadataDraftBucketID;
    std::vector<std::filesystem::path> m_pendingUploadURLs;
    std::string m_pendingUploadDirectory;
    KeySet m_pendingUploadExistingKeys;
    std::optional<Uuid> m_pendingUploadBucketID;

    // Unfinished multipart uploads.
    std::vector<MultipartUpload> m_multipartUploads;
    KeySet m_selectedUploadIDs;
    bool m_isLoadingUploads = false;
    bool m_hasMoreUploads = false;
    std::optional<std::string> m_uploadsKeyMarker;
    std::optional<std::string> m_uploadsUploadIdMarker;
    int m_uploadsLoad = 0;  // a page of an older load is dropped

    // Bucket sync, transfers and history.
    bool m_isSyncingBuckets = false;
    std::stop_source m_syncStop;
    std::chrono::milliseconds m_syncInterval = bucketSyncInterval;
    std::unique_ptr<TransferCenter> m_transfers;
    bool m_refreshAfterTransfersPending = false;
    std::vector<OperationHistoryEntry> m_historyBuffer;  // newest first
    // Holds a stop state exactly while a flush is pending.
    std::stop_source m_historyFlushStop{std::nostopstate};

    // Services.
    PrivateFolder m_privateFolder;
    // Behind a pointer: its header brings the D-Bus module into every file that
    // includes this one.
    std::unique_ptr<DesktopNotifier> m_notifier;
    std::unique_ptr<UiServices> m_headlessUi;
    UiServices* m_ui;
    // What of the keyring is still needed, for the clean-up on the keyring's thread.
    KeyringReferences m_keyringReferences;
    // One thread: the keyring writes of the account operations, in order.
    QThreadPool m_keyringWrites;
    // The clipboard's folder counts, which walk whole folders at a server's pace: in a
    // pool of their own, so that however many wait, listings still find a thread.
    QThreadPool m_folderCounts;
    // Blocking core calls run here; declared last so that it is destroyed first,
    // waiting for its work while everything that work may touch still exists.
    QThreadPool m_workers;
};

}  // namespace tarn

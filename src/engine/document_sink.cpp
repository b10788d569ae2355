//===- engine/document_sink.cpp - Where the compaction of one document reports =//

#include "engine/document_sink.h"

#include "engine/progress_view.h"
#include "engine/run_statistics.h"
#include "engine/user_abort.h"

void ViewSink::Started(const char *fullName) { view.SetFileText(fullName); }

void ViewSink::CountersChanged(const RunStatistics &statistics) {
  RefreshCounters(statistics, view);
}

void ViewSink::Done(const DocumentReport &report, const RunStatistics &statistics) {
  view.DocumentDone(report, statistics);
}

void ViewSink::EndWithMessage(const char *text) { AbortWithMessage(view, text); }

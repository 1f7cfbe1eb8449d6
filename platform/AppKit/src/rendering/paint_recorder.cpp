// The test hook that records strokes and fills, one stack per thread.
#include <AppKit/AppKitTesting.h>

namespace {

thread_local NSTestingPaintRecorder *innermost = nullptr;

}  // namespace

NSTestingPaintRecorder::NSTestingPaintRecorder() : outer_(innermost) { innermost = this; }

// Recorders go in the reverse order they came, as scopes end.
NSTestingPaintRecorder::~NSTestingPaintRecorder() { innermost = outer_; }

NSTestingPaintRecorder *NSTestingPaintRecorder::active() { return innermost; }

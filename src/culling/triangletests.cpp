#include "culling/triangletests.h"

#include "utility/log.h"

namespace {
TriangleTests g_default_tests;
TriangleTests* g_tests = nullptr;
}  // namespace

TriangleTests::~TriangleTests() {}

void TriangleTests::NotAvailable() {
    if (warned) return;
    warned = true;
    LogLine("WARNING: collision is not available - triangle tests answer nothing");
}

bool TriangleTests::PacketTouchesBox(CollisionPacket*, const float*) {
    NotAvailable();
    return false;
}

void TriangleTests::CollideTriangles(CollisionPacket*, const VERTEX*, const uint16_t*, int) {
    NotAvailable();
}

void TriangleTests::RayTriangles(RayQuery*, const VERTEX*, const uint16_t*, int, bool) { NotAvailable(); }

TriangleTests* GetTriangleTests() { return g_tests ? g_tests : &g_default_tests; }

void SetTriangleTests(TriangleTests* tests) { g_tests = tests; }

// The area's scene tree: a quadtree over x-z of entity boxes, fully split at
// creation down to leaves no wider than tuning value D, rebuilt larger when
// an entity does not fit.
#include <algorithm>
#include <cmath>
#include <new>

#include "collision/collision.h"
#include "collision/rayquery.h"
#include "culling/cplane.h"
#include "culling/frameview.h"
#include "entities/entity.h"
#include "entities/modelaccess.h"
#include "gfxdriver/gfxdriver.h"
#include "settings/settings.h"
#include "utility/log.h"
#include "world/area.h"

static float TuningD() {
    return g_settings && g_settings->tuningD > 0 ? static_cast<float>(g_settings->tuningD) : 5000.0f;
}

SceneNode::SceneNode(const float nodeBox[6])
    : children{nullptr, nullptr, nullptr, nullptr}, entities(nullptr) {
    for (int i = 0; i < 6; ++i) box[i] = nodeBox[i];
    size = std::max(box[3] - box[0], box[5] - box[2]);
    centre = BoxCenter(box);
    radius = VectorLength(VECTOR(box[3], box[4], box[5]) - centre);
    isLeaf = true;
}

SceneNode::~SceneNode() {
    // The four children are one block (Split).
    if (children[0]) {
        for (SceneNode* c : children) c->~SceneNode();
        ::operator delete(children[0]);
    }
    if (entities)
        for (Entity* e : *entities)
            if (e->sceneNode == this) e->sceneNode = nullptr;
    delete entities;
}

// Four children in the quadrant order shared with the mesh tree: (low x,
// high z), (high x, high z), (low x, low z), (high x, low z).
static void Split(SceneNode* node, int depth) {
    const float* b = node->box;
    float hx = (b[3] - b[0]) * 0.5f;
    float hz = (b[5] - b[2]) * 0.5f;
    const float quads[4][6] = {
        {b[0], b[1], b[2] + hz, b[0] + hx, b[4], b[5]},
        {b[0] + hx, b[1], b[2] + hz, b[3], b[4], b[5]},
        {b[0], b[1], b[2], b[0] + hx, b[4], b[2] + hz},
        {b[0] + hx, b[1], b[2], b[3], b[4], b[2] + hz},
    };
    // A tree is fully split at creation, to tens of thousands of nodes when
    // the world is large: the four children of a node are one allocation.
    SceneNode* four = static_cast<SceneNode*>(::operator new(4 * sizeof(SceneNode)));
    for (int i = 0; i < 4; ++i) node->children[i] = new (four + i) SceneNode(quads[i]);
    for (SceneNode* c : node->children)
        if (c->size > TuningD() && depth + 1 < kMaxSceneDepth) Split(c, depth + 1);
    node->isLeaf = false;
}

static bool Insert(SceneNode* node, Entity* entity) {
    VECTOR lo(entity->box[0], entity->box[1], entity->box[2]);
    VECTOR hi(entity->box[3], entity->box[4], entity->box[5]);
    if (!PointInBox(lo, node->box) || !PointInBox(hi, node->box)) return false;
    if (!node->isLeaf)
        for (SceneNode* c : node->children)
            if (Insert(c, entity)) return true;
    if (!node->entities) node->entities = new List<Entity*>();
    node->entities->Add(entity);
    entity->sceneNode = node;
    return true;
}

SceneNode* Area::NewRoot(const float box[6]) {
    SceneNode* node = new SceneNode(box);
    if (node->size > TuningD()) Split(node, 0);
    return node;
}

bool Area::AddToSceneTree(Entity* entity) {
    if (!entity) {
        LogLine("ERROR - ent was NULL in AddToSceneTree");
        return false;
    }
    if (!root) {
        root = NewRoot(entity->box);
        if (!Insert(root, entity)) {
            LogLine("Something wierd happened - could not push into new scenetree");
            // A box that holds nothing (not a number) must not become the world.
            delete root;
            root = nullptr;
            return false;
        }
        return true;
    }
    if (Insert(root, entity)) return true;

    LogLine("could not push '%s' into existing scenetree - enlarging", entity->Name());
    for (float v : entity->box) {
        if (!std::isfinite(v)) {
            // Growing the world to a box without bounds would lose every entity.
            LogLine("ERROR - could not enlarge tree to hold %s", entity->Name());
            return false;
        }
    }
    float box[6];
    for (int i = 0; i < 3; ++i) {
        box[i] = std::min(root->box[i], entity->box[i]);
        box[i + 3] = std::max(root->box[i + 3], entity->box[i + 3]);
    }
    delete root;
    root = NewRoot(box);
    for (Entity* e : entities) {
        if (e == entity) continue;
        if (!Insert(root, e)) LogLine("ERROR - could NOT repush %s", e->Name());
    }
    if (!Insert(root, entity)) {
        LogLine("ERROR - could not enlarge tree to hold %s", entity->Name());
        return false;
    }
    return true;
}

// Insert succeeds exactly when both corners of the entity's box lie in the
// root's box, so the plan needs no tree. A rebuilt root only grows (each
// bound is the smaller or larger of two) and an entity is registered only
// once it went in, so in an area that started empty every rebuild takes back
// every registered entity: "could NOT repush" cannot happen there.
static bool Fits(const Entity* entity, const float box[6]) {
    return PointInBox(VECTOR(entity->box[0], entity->box[1], entity->box[2]), box) &&
           PointInBox(VECTOR(entity->box[3], entity->box[4], entity->box[5]), box);
}

bool Area::PlanSceneTreeEntry(Entity* entity, SceneTreePlan& plan) {
    if (!plan.hasRoot) {
        if (!Fits(entity, entity->box)) {
            LogLine("Something wierd happened - could not push into new scenetree");
            return false;
        }
        for (int i = 0; i < 6; ++i) plan.box[i] = entity->box[i];
        plan.hasRoot = true;
        return true;
    }
    if (Fits(entity, plan.box)) return true;

    LogLine("could not push '%s' into existing scenetree - enlarging", entity->Name());
    for (float v : entity->box) {
        if (!std::isfinite(v)) {
            LogLine("ERROR - could not enlarge tree to hold %s", entity->Name());
            return false;
        }
    }
    for (int i = 0; i < 3; ++i) {
        plan.box[i] = std::min(plan.box[i], entity->box[i]);
        plan.box[i + 3] = std::max(plan.box[i + 3], entity->box[i + 3]);
    }
    if (!Fits(entity, plan.box)) {
        LogLine("ERROR - could not enlarge tree to hold %s", entity->Name());
        return false;
    }
    return true;
}

void Area::BuildPlannedSceneTree(const SceneTreePlan& plan) {
    if (!plan.hasRoot) return;
    root = NewRoot(plan.box);
    // In registration order, as the last rebuild and the insertions after it
    // would have put them.
    for (Entity* e : entities) Insert(root, e);
}

void Area::RemoveFromSceneTree(Entity* entity) {
    if (!entity) {
        LogLine("Entity was NULL in remove call!!!");
        return;
    }
    SceneNode* node = entity->sceneNode;
    if (!node) return;
    if (node->entities && node->entities->IndexOf(entity) >= 0) node->entities->Remove(entity);
    entity->sceneNode = nullptr;
}

void Area::RenderNode(SceneNode* node, CPlane* frustum) {
    if (frustum && frustum->ClassifyBox(node->box) == BOX_OUTSIDE) return;
    if (node->entities) {
        for (int i = 0; i < node->entities->Size(); ++i) {
            Entity* e = (*node->entities)[i];
            if (frustum) {
                // Entities leave the frustum's object matrix as they found it.
                if (frustum->ClassifyBox(e->box) == BOX_OUTSIDE) continue;
            }
            if (e->type == ENTITY_PARTICLE) {
                blended_.push_back(e);
                continue;
            }
            e->Render(frustum);
        }
    }
    if (!node->isLeaf)
        for (SceneNode* c : node->children) RenderNode(c, frustum);
}

void Area::Render(const VECTOR& camera, const VECTOR& viewDirection, CPlane* frustum,
                  const std::function<void()>& background) {
    if (g_area == this) g_frameView.camera = camera;
    VECTOR toLook = viewDirection;
    VectorSetLength(toLook, 200.0f);
    lookPoint = camera + toLook;
    GfxDriver* driver = g_gfxdriver;
    if (!driver) return;
    // With full shading off the area is drawn as wireframe.
    bool wireframe = g_settings && !g_settings->fullShading;
    if (wireframe) driver->SetRenderMode(RENDER_WIREFRAME);
    BeginAlphaList(alphaList);
    MATRIX savedWorld;
    driver->GetWorldMatrix(&savedWorld);
    MATRIX savedObject;
    MatrixIdentity(savedObject);
    if (frustum) {
        savedObject = frustum->objectMatrix;
        MATRIX identity;
        MatrixIdentity(identity);
        frustum->SetObjectMatrix(identity);
    }
    blended_.clear();
    if (root) RenderNode(root, frustum);
    if (background) {
        // The background is never wireframe.
        if (wireframe) driver->SetRenderMode(RENDER_SOLID);
        background();
        if (wireframe) driver->SetRenderMode(RENDER_WIREFRAME);
    }
    for (Entity* e : blended_) e->Render(frustum);
    if (AlphaListCount(alphaList) > 0) {
        driver->SetAlphaBlending(true);
        driver->SetAlphaTestMode(ALPHATEST_OPAQUE);
        // Indoor objects changed the ambient and fog colours: the sky's come back.
        DrawAlphaList(alphaList, g_frameView.ambientColor, g_frameView.fogColor);
        driver->SetAlphaTestMode(ALPHATEST_OFF);
    }
    EndAlphaList(alphaList);
    driver->SetWorldMatrix(&savedWorld);
    if (frustum) frustum->SetObjectMatrix(savedObject);
    if (g_settings && g_settings->editor && selected) driver->DrawBox(selected->box);
    if (wireframe) driver->SetRenderMode(RENDER_SOLID);
}

void Area::RayNode(SceneNode* node, RayQuery* query) {
    if (!RayIntersectsBox(node->box, query->start, query->direction)) return;
    if (node->entities) {
        for (int i = 0; i < node->entities->Size(); ++i) {
            Entity* e = (*node->entities)[i];
            query->currentEntity = e;
            e->RayTest(query);
            if (query->hitCount > 0 && query->stopAtFirstHit) return;
        }
    }
    if (!node->isLeaf)
        for (SceneNode* c : node->children) RayNode(c, query);
}

RayQuery* Area::SelectEntity(const VECTOR& camera, int distance) {
    MATRIX view, inverse;
    if (g_gfxdriver)
        g_gfxdriver->GetViewMatrix(&view);
    else
        MatrixIdentity(view);
    if (!MatrixInvertAffine(inverse, view)) {
        LogLine("ERROR - could not invert view matrix in Area::SelectEntity");
        return nullptr;
    }
    RayQuery* query = new RayQuery();
    query->start = camera;
    query->pickMode = true;
    // Markers are drawn only in the editor with its helper objects shown.
    query->markersPickable = g_settings && g_settings->editor && g_settings->showHelperObjects;
    query->stopAtFirstHit = false;
    TransformPoint(inverse, VECTOR(0.0f, 0.0f, static_cast<float>(distance)), query->end);
    query->direction = query->end - query->start;
    VectorNormalize(query->direction);
    if (root) RayNode(root, query);
    return query;
}

bool Area::LineOfSight(const VECTOR& from, const VECTOR& to) {
    RayQuery query;
    query.start = from;
    query.end = to;
    query.direction = to - from;
    VectorNormalize(query.direction);
    query.pickMode = false;
    query.stopAtFirstHit = true;
    if (root) RayNode(root, &query);
    return query.hitCount == 0;
}

void Area::CollideNode(SceneNode* node, CollisionPacket* packet) {
    if (!packet || !SphereIntersectsBox(packet->broadCentre, packet->broadRadius, node->box)) return;
    if (node->entities) {
        for (int i = 0; i < node->entities->Size(); ++i) {
            Entity* e = (*node->entities)[i];
            packet->currentEntity = e;
            e->Collide(packet);
        }
    }
    if (!node->isLeaf)
        for (SceneNode* c : node->children) CollideNode(c, packet);
}

void Area::Collide(CollisionPacket* packet) {
    if (root && packet) CollideNode(root, packet);
}

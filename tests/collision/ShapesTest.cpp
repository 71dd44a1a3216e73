// Shape objects: factories, setters, kind conversions, clones and groups.
#include "collision/Shapes.h"

#include <gtest/gtest.h>

using namespace QlCollision;

TEST(Shapes, FactoriesStoreTheirValues) {
  auto p = createPoint(-3, 7);
  EXPECT_EQ(p->getX(), -3);
  EXPECT_EQ(p->getY(), 7);

  auto l = createLine(1, 2, -3, -4);  // kept as given, not reordered
  EXPECT_EQ(l->getX1(), 1);
  EXPECT_EQ(l->getY1(), 2);
  EXPECT_EQ(l->getX2(), -3);
  EXPECT_EQ(l->getY2(), -4);

  auto c = createCircle(5, 6, 0);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->getRadius(), 0);
  EXPECT_FALSE(createCircle(0, 0, -1));

  auto r = createRectangle(10, 10, 0, 0);
  EXPECT_EQ(r->getLeft(), 0);
  EXPECT_EQ(r->getTop(), 0);
  EXPECT_EQ(r->getRight(), 10);
  EXPECT_EQ(r->getBottom(), 10);
  auto r2 = createRectangle(0, 9, 4, -1);
  EXPECT_EQ(r2->getTop(), -1);
  EXPECT_EQ(r2->getBottom(), 9);
}

TEST(Shapes, SettersStoreExceptNegativeRadius) {
  auto c = createCircle(0, 0, 4);
  EXPECT_FALSE(c->setRadius(-2));
  EXPECT_EQ(c->getRadius(), 4);
  EXPECT_TRUE(c->setRadius(9));
  EXPECT_EQ(c->getRadius(), 9);

  // Rectangles are not re-normalised by their setters.
  auto r = createRectangle(0, 0, 10, 10);
  EXPECT_TRUE(r->setLeft(20));
  EXPECT_EQ(r->getLeft(), 20);
  EXPECT_EQ(r->getRight(), 10);
  auto copy = std::static_pointer_cast<IRectangle>(r->clone());
  EXPECT_EQ(copy->getLeft(), 20);
  EXPECT_EQ(copy->getRight(), 10);
}

TEST(Shapes, KindAndConversions) {
  std::shared_ptr<IShape> shapes[] = {createPoint(0, 0), createLine(0, 0, 1, 1),
                                      createCircle(0, 0, 1), createRectangle(0, 0, 1, 1),
                                      createGroup()};
  for (int k = 0; k < 5; ++k) {
    const auto& s = shapes[k];
    EXPECT_EQ(s->getType(), k + 1);
    EXPECT_EQ(s->asPoint().get() != nullptr, k == 0);
    EXPECT_EQ(s->asLine().get() != nullptr, k == 1);
    EXPECT_EQ(s->asCircle().get() != nullptr, k == 2);
    EXPECT_EQ(s->asRectangle().get() != nullptr, k == 3);
    EXPECT_EQ(s->asGroup().get() != nullptr, k == 4);
  }
  // The conversion shares ownership with the original.
  auto p = shapes[0]->asPoint();
  EXPECT_EQ(static_cast<IShape*>(p.get()), shapes[0].get());
  EXPECT_EQ(shapes[0].use_count(), 2);
}

TEST(Shapes, ClonesAreIndependent) {
  auto l = createLine(1, 2, 3, 4);
  auto copy = std::static_pointer_cast<ILine>(l->clone());
  ASSERT_NE(copy.get(), l.get());
  EXPECT_EQ(copy->getType(), kLine);
  copy->setX1(100);
  EXPECT_EQ(l->getX1(), 1);
  EXPECT_EQ(copy->getY2(), 4);
  // The clone answers its own conversion.
  EXPECT_EQ(copy->asLine().get(), copy.get());

  auto c = createCircle(1, 2, 3);
  auto cc = c->clone()->asCircle();
  ASSERT_TRUE(cc);
  cc->setRadius(8);
  EXPECT_EQ(c->getRadius(), 3);
  EXPECT_EQ(cc->getX(), 1);

  auto g = createGroup();
  g->addShape(createPoint(1, 1));
  auto gc = g->clone()->asGroup();
  ASSERT_EQ(gc->getCount(), 1u);
  EXPECT_NE(gc->getShape(0).get(), g->getShape(0).get());
  gc->getShape(0)->asPoint()->setX(50);
  EXPECT_EQ(g->getShape(0)->asPoint()->getX(), 1);
}

TEST(Groups, MembershipAndCycles) {
  auto g = createGroup();
  auto inner = createGroup();
  EXPECT_FALSE(g->addShape(nullptr));
  EXPECT_FALSE(g->addShape(g));
  EXPECT_TRUE(g->addShape(inner));
  EXPECT_FALSE(inner->addShape(g));  // g already holds inner
  auto deeper = createGroup();
  EXPECT_TRUE(inner->addShape(deeper));
  EXPECT_FALSE(deeper->addShape(g));
  EXPECT_EQ(g->getCount(), 1u);
  EXPECT_FALSE(g->getShape(1));
  EXPECT_FALSE(g->removeShapeAt(1));
  EXPECT_TRUE(g->removeShapeAt(0));
  EXPECT_EQ(g->getCount(), 0u);
  EXPECT_TRUE(inner->addShape(createPoint(0, 0)));
  inner->clearShapes();
  EXPECT_EQ(inner->getCount(), 0u);
}

TEST(Groups, NestingLimitHoldsForEachShapeOnItsOwn) {
  // Two groups 150 levels deep each: both well within the limit, so they meet.
  const auto nest = [](int levels) {
    std::shared_ptr<IShape> shape = createPoint(3, 4);
    for (int i = 0; i < levels; ++i) {
      auto g = createGroup();
      g->addShape(shape);
      shape = g;
    }
    return shape;
  };
  const auto a = nest(150), b = nest(150);
  EXPECT_TRUE(intersects(a, createPoint(3, 4)));
  EXPECT_TRUE(intersects(a, b));
  // Beyond the limit a group touches nothing.
  EXPECT_FALSE(intersects(nest(300), createPoint(3, 4)));
}

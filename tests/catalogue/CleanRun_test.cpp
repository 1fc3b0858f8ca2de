// The one clean every run goes through: an item that fails leaves a line and
// an entry that stayed, and the run goes on; a trace two items take is taken once.
#include "catalogue/CleanRun.h"

#include <gmock/gmock.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

int Looked = 0, Cleaned = 0;

void LookAndFind(TPreviewContext&, TItemPlan& Plan) {
  ++Looked;
  TPlanEntry Entry;
  Entry.Kind = TEntryKind::Operation;
  Entry.Name = "something";
  Plan.Entries.push_back(Entry);
}
void LookAndThrow(TPreviewContext&, TItemPlan&) { throw std::runtime_error("the look broke"); }
void CleanOwn(TCleanContext& Context, TItemPlan&) {
  ++Cleaned;
  ++Context.Tally.Files;
}
void CleanAndThrow(TCleanContext&, TItemPlan&) { throw std::runtime_error("the clean broke"); }

TItem Made(const char* Id, const char* Label, void (*Preview)(TPreviewContext&, TItemPlan&),
           void (*Clean)(TCleanContext&, TItemPlan&), const char* CoveredBy = nullptr) {
  return TItem{Id, TGroup::Windows, 0, Label, "", nullptr, false, nullptr, nullptr, nullptr, Preview,
               "Test", false, nullptr, Clean, CoveredBy};
}

// Records what the run reported, as each caller's own host would show it.
struct TRecorder : TCleanHost {
  std::vector<std::string> Items, Lines;
  TTally Total;
  TEntryOutcome Operate(const TItem&, TTally&, std::vector<std::string>&) override { return TEntryOutcome::Removed; }
  void ItemDone(const TItemPlan& Plan, const TItemOutcome& Outcome) override {
    Items.push_back(Plan.Item->Id);
    Lines.insert(Lines.end(), Outcome.Lines.begin(), Outcome.Lines.end());
    Total += Outcome.Tally;
  }
};

std::vector<TItemPlan> PlansOf(std::initializer_list<const TItem*> Items) {
  std::vector<TItemPlan> Plans;
  for (const TItem* Item : Items) Plans.emplace_back().Item = Item;
  return Plans;
}

TEST(CleanRun, AnItemThatFailsBecomesALineAndTheRunGoesOn) {
  const TItem BadLook = Made("test.bad_look", "Bad look", &LookAndThrow, &CleanOwn);
  const TItem BadClean = Made("test.bad_clean", "Bad clean", &LookAndFind, &CleanAndThrow);
  const TItem Good = Made("test.good", "Good", &LookAndFind, &CleanOwn);
  std::vector<TItemPlan> Plans = PlansOf({&BadLook, &BadClean, &Good});
  Looked = Cleaned = 0;
  TProgress Progress;
  TPreviewContext Context{Progress};
  TRecorder Run;
  EXPECT_TRUE(CleanItems(Plans, true, Context, Run));
  EXPECT_THAT(Run.Items, ElementsAre("test.bad_look", "test.bad_clean", "test.good"));
  EXPECT_THAT(Run.Lines, ElementsAre("Could not clean Bad look: the look broke",
                                     "Could not clean Bad clean: the clean broke"));
  EXPECT_EQ(Run.Total.Refused, 2u);
  EXPECT_EQ(Run.Total.Stayed(), 2u);
  EXPECT_EQ(Cleaned, 1) << "the item after the failures was cleaned";
  EXPECT_EQ(Run.Total.Files, 1u);
}

TEST(CleanRun, ATraceTwoItemsTakeIsPlannedOnceByTheItemThatTakesMore) {
  const TItem Wider = Made("test.wider", "Recent Items", &LookAndFind, &CleanOwn);
  const TItem Narrower = Made("test.narrower", "Recent Documents", &LookAndFind, &CleanOwn, "test.wider");
  Looked = Cleaned = 0;
  TProgress Progress;
  TPreviewContext Context{Progress};
  TRecorder Both;
  std::vector<TItemPlan> Plans = PlansOf({&Narrower, &Wider});
  CleanItems(Plans, true, Context, Both);
  EXPECT_EQ(Looked, 1);
  EXPECT_EQ(Cleaned, 1);
  EXPECT_THAT(Both.Lines, ElementsAre("Recent Documents: cleared with Recent Items."));
  EXPECT_EQ(Both.Total.Stayed(), 0u) << "neither reports the other as changed";

  // Alone, the narrower item takes its trace itself.
  TRecorder Alone;
  Plans = PlansOf({&Narrower});
  CleanItems(Plans, true, Context, Alone);
  EXPECT_EQ(Cleaned, 2);
  EXPECT_TRUE(Alone.Lines.empty());
}

TEST(CleanRun, TheCataloguesOverlappingItemsAreDeclared) {
  for (const auto& [Narrower, Wider] : {std::pair{"shell.recent_docs", "windows.recent_items"},
                                        std::pair{"system.recycle_bin", "windows.recycle_bins"}}) {
    const TItem* Item = FindItem(Narrower);
    ASSERT_TRUE(Item && Item->CoveredBy) << Narrower;
    EXPECT_STREQ(Item->CoveredBy, Wider);
    ASSERT_NE(FindItem(Wider), nullptr);
    const TItem* Run[] = {Item, FindItem(Wider)};
    EXPECT_EQ(CoveringItem(*Item, Run), FindItem(Wider));
  }
}

}  // namespace

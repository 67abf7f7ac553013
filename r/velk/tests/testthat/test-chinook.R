# The chinook fish as data frames give what the command line gives, byte for
# byte in every table, one analysis per fishery sample.
test_that("chinook data frames estimate as the command line does", {
  csv <- chinook_table()
  if (is.null(csv)) skip("no chinook_genotypes.csv: set VELK_SOURCE_DIR (../shared/data/chinook) or VELK_CHINOOK_CSV")
  command <- velk_command()
  if (!nzchar(command)) skip("no build/velk under VELK_SOURCE_DIR to compare with")
  table <- read.csv(csv, stringsAsFactors = FALSE, check.names = FALSE)
  reference <- table[table$sample_type == "reference", ]
  mixture <- table[table$sample_type == "mixture", ]
  res <- suppressWarnings(velk_mixture(reference, mixture, gen_start_col = 5))

  expect_setequal(unique(res$mixing_proportions$mixture_collection), c("rec1", "rec2", "rec3"))
  expect_equal(nrow(res$mixing_proportions), 3 * 69)
  expect_type(res$mixing_proportions$collection, "character")
  sums <- tapply(res$repunit_proportions$repprop, res$repunit_proportions$mixture_collection, sum)
  expect_equal(as.vector(sums), rep(1, 3), tolerance = 1e-12)
  expect_equal(nrow(res$indiv_posteriors[!duplicated(res$indiv_posteriors[, 1:2]), ]), nrow(mixture))

  out <- tempfile("cli-")
  dir.create(out)
  expect_equal(system2(command, c("import", "--out", file.path(out, "velk"), csv),
                       stdout = FALSE, stderr = FALSE), 0)
  expect_equal(system2(command, c("--quiet", Sys.glob(file.path(out, "velk-*.ctl"))),
                       stdout = FALSE, stderr = FALSE), 0)
  for (collection in c("rec1", "rec2", "rec3")) {
    for (table in c("estimates", "individuals", "posteriors", "run")) {
      cli <- file.path(out, sprintf("velk-%s.%s.csv", collection, table))
      ours <- file.path(res$dir, sprintf("velk-%s.%s.csv", collection, table))
      expect_identical(readLines(ours), readLines(cli), label = paste(collection, table))
    }
  }
  cli_est <- read.csv(file.path(out, "velk-rec1.estimates.csv"))
  ours <- res$mixing_proportions[res$mixing_proportions$mixture_collection == "rec1", ]
  expect_identical(ours$pi, cli_est$estimate[cli_est$level == 0])
})

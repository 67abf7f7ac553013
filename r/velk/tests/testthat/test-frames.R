test_that("small data frames give per-collection tables of the field's shape", {
  d <- small_frames()
  res <- suppressWarnings(velk_mixture(d$reference, d$mixture, gen_start_col = 5))
  expect_named(res$mixing_proportions[, 1:4], c("mixture_collection", "repunit", "collection", "pi"))
  expect_named(res$indiv_posteriors, c("mixture_collection", "indiv", "repunit", "collection", "PofZ",
                                       "log_likelihood", "z_score", "n_non_miss_loci"))
  expect_equal(sum(res$mixing_proportions$pi), 1, tolerance = 1e-12)
  expect_true(all(vapply(res$mixing_proportions, function(c) !is.factor(c), logical(1))))
  expect_equal(res$run$mixture_collection, "fishery")
  expect_type(res$run$messages, "character")
})

test_that("bad data frames get clear messages", {
  d <- small_frames()
  factor_ref <- d$reference
  factor_ref$collection <- factor(factor_ref$collection)
  fraction_ref <- d$reference
  fraction_ref$L2 <- as.double(fraction_ref$L2)
  fraction_ref$L2[3] <- 1.5
  cases <- list(
    list(ref = factor_ref, message = "column 3 \\(collection\\) of `reference` is a factor"),
    list(ref = fraction_ref, message = "column 7 \\(L2\\) of `reference`, row 3: 1.5 is not a whole"),
    list(ref = d$reference[, -6], message = "velk import: error [0-9]+:"),
    list(ref = d$reference[, 1:4], message = "leaves no locus pair"))
  for (case in cases)
    expect_error(velk_mixture(case$ref, d$mixture), case$message)
})

test_that("a seed repeats a run and set.seed does not reach the engine", {
  d <- small_frames()
  first <- velk_hundred_percent(d$reference, reps = 20, mixsize = 30, seed = 77)
  set.seed(1)
  second <- velk_hundred_percent(d$reference, reps = 20, mixsize = 30, seed = 77)
  other <- velk_hundred_percent(d$reference, reps = 20, mixsize = 30, seed = 78)
  expect_identical(first, second)
  expect_false(identical(first$mean, other$mean))
  expect_setequal(unique(first$scenario), c("North", "South"))
})

test_that("the leave-one-out gives one row per reference individual", {
  d <- small_frames()
  loo <- velk_self_assign(d$reference)
  expect_equal(nrow(loo), nrow(d$reference))
  expect_type(loo$indiv, "character")
})

test_that("a fish of known collection keeps it", {
  d <- small_frames()
  mixture <- cbind(d$mixture[, 1:4], known_collection = c("PopB", rep(NA, 9)), d$mixture[, -(1:4)],
                   stringsAsFactors = FALSE)
  res <- suppressWarnings(velk_mixture(d$reference, mixture, gen_start_col = 6))
  first <- res$indiv_posteriors[res$indiv_posteriors$indiv == "fish1", ]
  expect_equal(first$collection, "PopB")
  expect_equal(first$PofZ, 1)
})

library(testthat)
library(velk)
test_check("velk")
